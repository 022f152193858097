# cmake -DOUTPUT=<file.cpp> -DINPUTS=<a;b;...> -P EmbedFiles.cmake
# Writes a C++ source that holds each input file as a zero-terminated text, with its file
# name, as the table sim::embedded_definitions() returns.
set(body "// Generated from the device definition files; do not edit.\n#include \"sim_embedded.h\"\n\nnamespace sim {\n\nnamespace {\n\n")
set(table "")
set(index 0)
foreach(input IN LISTS INPUTS)
  file(READ "${input}" bytes HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," chars "${bytes}")
  get_filename_component(name "${input}" NAME)
  string(APPEND body "const char kText${index}[] = {${chars}'\\0'};\n")
  string(APPEND table "    {\"${name}\", kText${index}, sizeof kText${index} - 1},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "\nconst EmbeddedFile kFiles[] = {\n${table}};\n\n} // namespace\n\n")
string(APPEND body "std::span<const EmbeddedFile> embedded_definitions() {\n    return kFiles;\n}\n\n} // namespace sim\n")
file(WRITE "${OUTPUT}.tmp" "${body}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
