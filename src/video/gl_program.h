#pragma once
// Small helpers around OpenGL shader programs built from the compiled-in
// shader resources. All calls need a current context.

#include <string_view>

using TGLuint = unsigned int;

// Links a program from the named vertex and fragment resources (type
// "SHADER"), inserting `defines` after the #version line of the fragment
// stage and binding the vertex attributes position (0), diffuse (1),
// texcoord (2) and corner (3). 0 when compiling or linking fails.
TGLuint BuildProgram(std::string_view vertexResource, std::string_view fragmentResource,
                     std::string_view defines = {});

// The GLSL version of the current context times 100 (4.50 -> 450); 0 when
// unknown.
int ShadingLanguageVersion();
// The OpenGL version of the current context times 10 (4.5 -> 45).
int GLVersion();
bool HasGLExtension(const char* name);
