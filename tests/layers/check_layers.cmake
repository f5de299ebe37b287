# Builds every layer check at once, going on past the ones that fail, and
# holds each one's outcome against what it must be: the expected message at
# its own file, or no error at all.
# Run with -DBUILD_DIR=... -DTARGETS=a;b;... -DEXPECTATIONS=a=message;b=;...
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${BUILD_DIR}" --target ${TARGETS} -- -k 0
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
# One piece of the log for each build step that failed. Semicolons and square
# brackets ("[3/13]") would confuse CMake's lists, so they go first.
string(REPLACE ";" "," log "${out}${err}")
string(REPLACE "[" "(" log "${log}")
string(REPLACE "]" ")" log "${log}")
string(REPLACE "FAILED: " ";" steps "${log}")
set(failed "")
foreach(expectation IN LISTS EXPECTATIONS)
  string(FIND "${expectation}" "=" at)
  string(SUBSTRING "${expectation}" 0 ${at} name)
  math(EXPR from "${at} + 1")
  string(SUBSTRING "${expectation}" ${from} -1 expected)
  set(step "")
  foreach(candidate IN LISTS steps)
    # A failed step names what it was building on its first line; what
    # follows may be other steps' progress.
    string(FIND "${candidate}" "\n" firstLineEnd)
    string(SUBSTRING "${candidate}" 0 ${firstLineEnd} firstLine)
    string(FIND "${firstLine}" "/${name}.cpp" mentioned)
    if(NOT mentioned EQUAL -1)
      set(step "${candidate}")
    endif()
  endforeach()
  if(expected STREQUAL "")
    if(NOT step STREQUAL "")
      list(APPEND failed "${name} should build:\n${step}")
    endif()
  else()
    string(FIND "${step}" "${expected}" found)
    if(step STREQUAL "" OR found EQUAL -1)
      list(APPEND failed "${name} should stop at \"${expected}\":\n${step}")
    endif()
  endif()
endforeach()
if(failed)
  string(REPLACE ";" "\n" failed "${failed}")
  message(FATAL_ERROR "${failed}")
endif()
list(LENGTH TARGETS count)
message(STATUS "${count} layer checks as they must be")
