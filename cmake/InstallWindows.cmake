# The Windows zip: one program folder the operator unpacks where they may
# write (TORV keeps config.ini beside itself).
#
#   torv.exe, torv-window.dll, the Qt and mingw runtime DLLs, platforms/qwindows.dll,
#   styles/qwindowsvistastyle.dll, the eight cues, config.ini.example, torv.ini.example,
#   README.txt
#
#   cpack -G ZIP  (in the build folder)   # build/packages/torv-<version>-win64.zip

set(TORV_QT_WINDOWS "${QT6_INSTALL_PREFIX}" CACHE PATH "The Qt for Windows prefix")

install(TARGETS torv RUNTIME DESTINATION . COMPONENT program)
# The window module beside it (a module is a library, also here).
install(TARGETS torv_window LIBRARY DESTINATION . RUNTIME DESTINATION . COMPONENT program)
install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
  DESTINATION . COMPONENT program)
install(FILES ${TORV_QT_WINDOWS}/plugins/platforms/qwindows.dll DESTINATION platforms COMPONENT program)
install(FILES ${TORV_QT_WINDOWS}/plugins/styles/qwindowsvistastyle.dll DESTINATION styles COMPONENT program)

# The compiler's own runtime, wherever this mingw keeps it.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    find_file(path_${dll} ${dll} PATHS /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib
      NO_DEFAULT_PATH REQUIRED)
    set(path ${path_${dll}})
  endif()
  install(FILES ${path} DESTINATION . COMPONENT program)
endforeach()

install(FILES ${TORV_CUE_FILES} DESTINATION . COMPONENT program)
# Text files with CR LF line ends, as Notepad expects them.
foreach(name config.ini.example torv.ini.example README.txt)
  set(out ${CMAKE_BINARY_DIR}/windows/${name})
  if(name STREQUAL README.txt)
    file(READ ${CMAKE_SOURCE_DIR}/packaging/windows/README.txt text)
  elseif(name STREQUAL torv.ini.example)
    file(READ ${CMAKE_SOURCE_DIR}/packaging/torv.ini.example text)
  else()
    file(READ ${CMAKE_SOURCE_DIR}/packaging/windows/config.ini.example text)
  endif()
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${out} "${text}")
  install(FILES ${out} DESTINATION . COMPONENT program)
endforeach()

set(CPACK_PACKAGE_NAME torv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "TORV")
set(CPACK_PACKAGE_FILE_NAME torv-${PROJECT_VERSION}-win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
include(CPack)
