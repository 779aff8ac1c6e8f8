set(CMAKE_C_COMPILER ${ORVANTA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVANTA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVANTA_MINGW_TRIPLE}-windres)
set(CMAKE_OBJCOPY ${ORVANTA_MINGW_TRIPLE}-objcopy CACHE FILEPATH "")
set(CMAKE_STRIP ${ORVANTA_MINGW_TRIPLE}-strip CACHE FILEPATH "")
# The static OpenSSL 3 of this architecture that scripts/build-openssl-mingw.sh
# builds from Debian's source package; "current" names the newest build.
string(REGEX REPLACE "-.*" "" ORVANTA_MINGW_ARCH "${ORVANTA_MINGW_TRIPLE}")
if(NOT OPENSSL_ROOT_DIR)
  set(OPENSSL_ROOT_DIR /var/cache/orvanta/openssl/current/${ORVANTA_MINGW_ARCH})
endif()
set(OPENSSL_USE_STATIC_LIBS ON)
set(CMAKE_FIND_ROOT_PATH /usr/${ORVANTA_MINGW_TRIPLE} ${OPENSSL_ROOT_DIR})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# One self-contained executable: the C++ runtime and winpthread go inside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
