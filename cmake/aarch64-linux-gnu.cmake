# Linux arm64 from an x86-64 Debian machine: Debian's aarch64 cross compiler against the arm64
# multiarch -dev packages (scripts/install-arm64-deps.sh), and programs the build runs (assetgen,
# the tests) started through qemu's user-mode emulator.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Headers and libraries are the multiarch ones under /usr (include/aarch64-linux-gnu,
# lib/aarch64-linux-gnu); pkg-config reads the arm64 .pc files.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "pkg-config for arm64")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# No QEMU_LD_PREFIX: the emulator loads the arm64 multiarch loader and libc from /usr/lib. With
# the cross compiler's own libc (/usr/aarch64-linux-gnu) as prefix, the two libcs meet and every
# program that starts a thread hangs in pthread_create.
find_program(VELMORA_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64 REQUIRED
    DOC "qemu's user-mode emulator for aarch64 (make deps-arm64 installs it)")
set(CMAKE_CROSSCOMPILING_EMULATOR ${VELMORA_QEMU_AARCH64})
