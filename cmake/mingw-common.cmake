# mingw-w64 with the posix thread model (std::thread and std::mutex need it).
set(CMAKE_C_COMPILER ${TARN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARN_MINGW_TRIPLE}-windres)
set(TARN_WIDL ${TARN_MINGW_TRIPLE}-widl)
set(CMAKE_FIND_ROOT_PATH /usr/${TARN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The x86_64 build runs under the host's Wine. The host has no 32-bit Wine: the i686 build runs
# under the WOW64 Wine of a Debian root of its own (scripts/wow64-root.sh), through one program
# that stands for `wine` there.
if(TARN_MINGW_TRIPLE STREQUAL "x86_64-w64-mingw32")
    set(CMAKE_CROSSCOMPILING_EMULATOR wine)
else()
    cmake_path(SET CMAKE_CROSSCOMPILING_EMULATOR NORMALIZE
        "${CMAKE_CURRENT_LIST_DIR}/../scripts/wow64-wine.sh")
    set(TARN_WINE_WOW64 ON)
endif()
