# Every JSON file given as FILES (a ;-list) must parse: VS Code drops a grammar or a
# configuration that does not, without saying so.
foreach(file IN LISTS FILES)
  file(READ ${file} text)
  string(JSON type ERROR_VARIABLE problem TYPE "${text}")
  if(problem)
    message(FATAL_ERROR "${file}: not valid JSON: ${problem}")
  endif()
  message(STATUS "${file}: valid JSON")
endforeach()
