# The subsystem libraries and their include check (the table is in the top CMakeLists.txt).

# tovrin_add_layer(sub): the static library of folder sub/, linked to the libraries of the
# subsystems it uses. Before it compiles, every header and source under sub/ is checked for
# includes of other subsystems (cmake/CheckLayers.cmake); the check runs again whenever a file
# there changes, and a failed check fails the build.
function(tovrin_add_layer sub)
  set(placed)
  foreach(other IN LISTS TOVRIN_SUBSYSTEMS)
    if(other STREQUAL sub)
      break()
    endif()
    list(APPEND placed ${other})
  endforeach()
  foreach(used IN LISTS TOVRIN_USES_${sub})
    if(NOT used IN_LIST placed)
      message(FATAL_ERROR "${sub} may use only subsystems listed before it in TOVRIN_SUBSYSTEMS, not ${used}")
    endif()
  endforeach()

  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${sub}/*.cpp)
  add_library(tovrin_${sub} STATIC ${sources})
  set(libraries ${TOVRIN_USES_${sub}})
  list(TRANSFORM libraries PREPEND tovrin_)
  target_link_libraries(tovrin_${sub} PUBLIC ${libraries})

  file(GLOB_RECURSE checked CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${sub}/*.h ${PROJECT_SOURCE_DIR}/${sub}/*.cpp
       ${PROJECT_SOURCE_DIR}/${sub}/*.y)
  # Lists travel as commas: a semicolon would split the command's argument.
  string(REPLACE ";" "," layers "${TOVRIN_SUBSYSTEMS}")
  string(REPLACE ";" "," uses "${TOVRIN_USES_${sub}}")
  set(stamp ${PROJECT_BINARY_DIR}/layers/${sub}.checked)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -D ROOT=${PROJECT_SOURCE_DIR} -D LAYER=${sub} -D LAYERS=${layers} -D USES=${uses}
            -D STAMP=${stamp} -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake
    DEPENDS ${checked} ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake
    COMMENT "Checking the includes of ${sub}/"
    VERBATIM)
  add_custom_target(tovrin_${sub}_includes DEPENDS ${stamp})
  add_dependencies(tovrin_${sub} tovrin_${sub}_includes)
endfunction()
