# Writes OUT as IN with the text FROM replaced by TO, once; fails when IN does not hold FROM.
#   cmake -DIN=... -DOUT=... -DFROM=... -DTO=... -P mutate.cmake
file(READ "${IN}" text)
string(FIND "${text}" "${FROM}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${IN} no longer holds '${FROM}': the mutant would be the program itself")
endif()
string(REPLACE "${FROM}" "${TO}" mutated "${text}")
file(WRITE "${OUT}" "${mutated}")
