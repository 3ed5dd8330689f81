# Writes the message catalogue files into one C++ source as a raw string.
# Input: CATALOG_FILES (paths separated by |), OUTPUT.
string(REPLACE "|" ";" CATALOG_FILES "${CATALOG_FILES}")
set(text "")
foreach(f ${CATALOG_FILES})
  file(READ ${f} part)
  string(APPEND text "${part}\n")
endforeach()
file(WRITE ${OUTPUT}.tmp "// Generated from vyn/catalog/*.msg; do not edit.\nextern const char vyn_catalog_text[];\nconst char vyn_catalog_text[] = R\"vyncatalog(${text})vyncatalog\";\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
