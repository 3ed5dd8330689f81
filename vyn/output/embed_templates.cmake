# Writes the table templates into a C++ source as one string.
file(READ ${INPUT} text)
file(WRITE ${OUTPUT} "extern const char vyn_templates_json[];\nconst char vyn_templates_json[] = R\"vyntmpl(${text})vyntmpl\";\n")
