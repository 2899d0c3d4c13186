# Reads a PE file's export table with the cross toolchain's objdump and
# checks that it holds exactly the names in EXPECTED (a ;-list), with no
# export by ordinal only.
#   cmake -DOBJDUMP=... -DBINARY=... -DEXPECTED=name1;name2 -P check_exports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${BINARY} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${BINARY}")
endif()
if(NOT dump MATCHES "There is an export table")
  message(FATAL_ERROR "${BINARY} has no export table")
endif()

# Every address the table exports, as objdump lists it. Empty slots export
# nothing and are not listed (lld starts the ordinals at 0 and leaves slot 0
# empty; GNU ld starts them at 1).
string(REGEX MATCHALL "\\[ *[0-9]+\\] \\+base\\[ *[0-9]+\\] +[0-9a-fA-F]+ (Export|Forwarder) RVA"
       addresses "${dump}")
list(LENGTH addresses address_count)

# The names follow "[Ordinal/Name Pointer] Table" up to the first empty line.
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
string(SUBSTRING "${dump}" ${at} -1 tail)
string(REGEX REPLACE "\n\n.*" "" tail "${tail}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" entries "${tail}")
set(names "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${entry}")
  list(APPEND names "${name}")
endforeach()

list(LENGTH names name_count)
if(NOT names STREQUAL EXPECTED OR NOT address_count EQUAL name_count)
  message(FATAL_ERROR "exports of ${BINARY}: names [${names}], ${address_count} addresses; "
                      "expected exactly [${EXPECTED}]")
endif()
message(STATUS "exports of ${BINARY}: ${names}")
