// Screenshots the user keeps: PNG files in the pictures folder's Velmora/ subfolder, named by
// the local time they were taken, never overwriting an earlier one.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <istream>
#include <string>

// What decides the pictures folder, as the environment gives it.
struct PicturesEnvironment {
    std::string picturesDir;  // $XDG_PICTURES_DIR
    std::string configHome;   // $XDG_CONFIG_HOME
    std::string home;         // $HOME, else the account's home folder
};

PicturesEnvironment CurrentPicturesEnvironment();

// The XDG_PICTURES_DIR value of a user-dirs.dirs file ("$HOME/..." expanded); "" when the file
// names none or names a relative one.
std::string UserDirsPictures(std::istream& userDirs, const std::string& home);

// $XDG_PICTURES_DIR when it is an absolute path, else the one the desktop's user-dirs.dirs
// names, else ~/Pictures. Reads user-dirs.dirs from the configuration folder
// ($XDG_CONFIG_HOME, else ~/.config).
std::filesystem::path PicturesFolder(const PicturesEnvironment& env);

// "velmora-2026-12-07_22-35-39.png"; a second picture in the same second gets "-2", and so on.
std::string ScreenshotFileName(const std::tm& local, int sequence);

// Writes the RGB565 frame (pitch in pixels) as a PNG into folder/Velmora/, made when missing,
// under the first free name for that time. Returns the file's path; throws std::runtime_error
// saying why when it cannot.
std::filesystem::path SaveScreenshot(const std::filesystem::path& picturesFolder,
                                     const std::tm& local, const uint16_t* pixels, int width,
                                     int height, int pitch);
