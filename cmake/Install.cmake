# Installation under the GNU directory layout, and a Debian package through CPack.
#   cmake --install build [--prefix DIR]
#   cpack --config build/CPackConfig.cmake    (in the build folder: cpack -G DEB)
include(GNUInstallDirs)

set(TOVRIN_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tovrin)

install(TARGETS tovrin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/man/tovrin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET tovrin-programmer)
  install(TARGETS tovrin-programmer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/man/tovrin-programmer.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(TARGET tovrin-gui)
  install(TARGETS tovrin-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/man/tovrin-gui.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/tovrin-gui.desktop
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/tovrin.svg
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tovrin-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages RENAME tovrin.xml)

# The bash completion comes from the command line's own definitions, so it is made by the
# tovrin just built (not possible when cross-compiling: then it is left out).
if(NOT CMAKE_CROSSCOMPILING)
  set(completion_file ${PROJECT_BINARY_DIR}/completion/tovrin)
  add_custom_command(
    OUTPUT ${completion_file}
    COMMAND ${CMAKE_COMMAND} -DTOVRIN=$<TARGET_FILE:tovrin> -DOUTPUT=${completion_file}
            -P ${PROJECT_SOURCE_DIR}/cmake/Completion.cmake
    DEPENDS tovrin ${PROJECT_SOURCE_DIR}/cmake/Completion.cmake
    COMMENT "Generating the bash completion of tovrin"
    VERBATIM)
  add_custom_target(tovrin_completion ALL DEPENDS ${completion_file})
  install(FILES ${completion_file} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions)
endif()

# Editor support where each editor looks for system-wide files.
foreach(kind syntax ftdetect ftplugin)
  foreach(vim vim/vimfiles nvim/site)
    install(FILES ${PROJECT_SOURCE_DIR}/editors/vim/${kind}/tovrin.vim
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/${vim}/${kind})
  endforeach()
endforeach()
foreach(version 4 5)
  install(FILES ${PROJECT_SOURCE_DIR}/editors/gtksourceview/tovrin.lang
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/gtksourceview-${version}/language-specs)
endforeach()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/editors/vscode
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/tovrin/editors)
install(FILES ${PROJECT_SOURCE_DIR}/editors/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/tovrin/editors)

# The documents and the examples, sources only (a build leaves hex files beside them).
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${TOVRIN_DOC_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${TOVRIN_DOC_DIR}/docs
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${TOVRIN_DOC_DIR}/examples
        FILES_MATCHING PATTERN "*.tvr")

# A Debian package: cpack -G DEB in the build folder. The library dependencies are read from
# the binaries (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_PACKAGE_NAME tovrin)
set(CPACK_PACKAGE_VENDOR Halvery)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compiler and downloader for Tovrin, a fuzzy-logic language for AVR boards")
set(CPACK_PACKAGE_DESCRIPTION
    "Tovrin compiles programs written in a small block-structured language with fuzzy-logic\n\
constructs into byte code for an interpreter on 8-bit AVR microcontrollers, and downloads\n\
them through a serial in-system programmer. Includes the command line, a small window, an\n\
emulated programmer, manual pages and editor highlighting.")
set(CPACK_PACKAGE_CONTACT "Tovrin maintainers <maintainers@tovrin.invalid>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion, man-db, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "vim | gedit | gnome-builder")
include(CPack)
