# Writes OUTPUT, a C++ source defining `const char NAME[]` with the bytes of INPUT, so that a
# page template kept as a file of its own is part of the program.
#   cmake -DINPUT=page.html -DOUTPUT=page.cpp -DNAME=kPage -DNAMESPACE=ns -P embed_text.cmake
file(READ "${INPUT}" text)
set(delimiter "ddt_embed")
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the raw-string delimiter ${delimiter}")
endif()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} at build time; edit that file instead.\n"
  "namespace ${NAMESPACE} {\nextern const char ${NAME}[];\nconst char ${NAME}[] = R\"${delimiter}(${text})${delimiter}\";\n}\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
