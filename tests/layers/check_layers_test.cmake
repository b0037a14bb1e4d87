# The include check on a small tree of its own: allowed includes pass and leave the stamp; an
# include of a subsystem the folder does not use fails, names the file and line, and leaves
# no stamp, wherever in the folder it stands and however the include is spelled.
#   cmake -D CHECKER=cmake/CheckLayers.cmake -D WORK=dir -P check_layers_test.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK})
set(stamp ${WORK}/model.checked)

function(check expect_failure)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -D ROOT=${WORK}/tree -D LAYER=model -D LAYERS=platform,image,model,codegen
            -D USES=platform -D STAMP=${stamp} -P ${CHECKER}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  set(output "${output}" PARENT_SCOPE)
  if(expect_failure AND result EQUAL 0)
    message(FATAL_ERROR "A wrong-way include passed the check:\n${output}")
  elseif(NOT expect_failure AND NOT result EQUAL 0)
    message(FATAL_ERROR "Allowed includes failed the check:\n${output}")
  endif()
  if(expect_failure AND EXISTS ${stamp})
    message(FATAL_ERROR "A failed check left its stamp")
  elseif(NOT expect_failure AND NOT EXISTS ${stamp})
    message(FATAL_ERROR "A passed check wrote no stamp")
  endif()
endfunction()

function(expect_in_output text)
  string(REGEX REPLACE "[ \n]+" " " flat "${output}")
  string(FIND "${flat}" "${text}" at)
  if(at LESS 0)
    message(FATAL_ERROR "Expected '${text}' in:\n${output}")
  endif()
endfunction()

# Its own folder, the subsystems it uses, and what is no subsystem at all.
file(WRITE ${WORK}/tree/model/type.h "#pragma once\n#include <vector>\n#include \"platform/format.h\"\n")
file(WRITE ${WORK}/tree/model/type.cpp
     "#include \"model/type.h\"\n#include \"grammar_tables.h\"\n#include <sys/types.h>\n// #include \"codegen/old.h\"\n")
check(FALSE)

# Upward, from a source file.
file(WRITE ${WORK}/tree/model/value.cpp "#include \"model/type.h\"\n\nint x;\n#include \"codegen/code_generator.h\"\n")
check(TRUE)
expect_in_output("model/value.cpp:4: #include \"codegen/code_generator.h\": model/ does not use codegen/")

# Sideways, from a header in a nested folder, spelled with angle brackets and spaces.
file(WRITE ${WORK}/tree/model/value.cpp "#include \"model/type.h\"\n")
file(WRITE ${WORK}/tree/model/nested/statement.h "#pragma once\n  #  include <image/target.h>\n")
check(TRUE)
expect_in_output("model/nested/statement.h:2:")
expect_in_output("model/ does not use image/")

file(REMOVE ${WORK}/tree/model/nested/statement.h)
check(FALSE)
