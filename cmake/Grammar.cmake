# Parse tables and actions: GNU Bison turns frontend/grammar.y into the tables and the
# switch of the actions written beside the productions, through our own skeleton; the
# engine that reads them lives in frontend/.
find_package(BISON 3.8 REQUIRED)

set(TOVRIN_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
set(grammar_source ${PROJECT_SOURCE_DIR}/frontend/grammar.y)
set(grammar_skeleton ${PROJECT_SOURCE_DIR}/frontend/table_skeleton.m4)
set(grammar_tables_cpp ${TOVRIN_GENERATED_DIR}/grammar_tables.cpp)
set(grammar_tables_h ${TOVRIN_GENERATED_DIR}/grammar_tables.h)
set(grammar_actions_cpp ${TOVRIN_GENERATED_DIR}/grammar_actions.cpp)

# -Werror turns a change in the conflict count (the grammar says %expect 0)
# or any other grammar warning into a build failure.
add_custom_command(
  OUTPUT ${grammar_tables_cpp} ${grammar_tables_h} ${grammar_actions_cpp}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TOVRIN_GENERATED_DIR}
  COMMAND ${BISON_EXECUTABLE} -Wall -Werror --skeleton=${grammar_skeleton}
          -o ${grammar_tables_cpp} ${grammar_source}
  DEPENDS ${grammar_source} ${grammar_skeleton}
  COMMENT "Generating the parse tables and actions from grammar.y"
  VERBATIM)

target_sources(tovrin_frontend PRIVATE ${grammar_tables_cpp} ${grammar_tables_h} ${grammar_actions_cpp})
