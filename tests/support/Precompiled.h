// Compiled once for every test file: GoogleTest's header and the standard headers most tests
// use take most of a test file's compile time.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
