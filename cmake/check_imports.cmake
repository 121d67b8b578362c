# Fails unless the executable EXE imports every name in NAMES (comma-separated),
# as its import table lists them (objdump -p, the dumpbin /imports of mingw).
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE table RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed: ${status}")
endif()
string(REPLACE "," ";" names "${NAMES}")
set(missing "")
foreach(name IN LISTS names)
  # Import entries read "<vma> <hint> <name>" on a line of their own.
  if(NOT table MATCHES "\n[\t ]*[0-9a-fA-F]+[\t ]+[0-9]+[\t ]+${name}\n")
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "${EXE} does not import: ${missing}")
endif()
list(LENGTH names count)
message(STATUS "${EXE} imports all ${count} checked entries")
