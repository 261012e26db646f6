#include "video/gl_program.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "video/video_resources.h"

namespace {

std::string Source(std::string_view resource, std::string_view defines) {
  const auto data = VideoResource(resource, "SHADER");
  std::string text(reinterpret_cast<const char*>(data.data()), data.size());
  if (!defines.empty()) {
    const std::size_t eol = text.find('\n');
    const std::size_t at = eol == std::string::npos ? text.size() : eol + 1;
    text.insert(at, std::string(defines) + "\n");
  }
  return text;
}

GLuint Compile(GLenum stage, const std::string& text) {
  if (text.empty()) return 0;
  const GLuint shader = glCreateShader(stage);
  if (!shader) return 0;
  const char* src = text.c_str();
  glShaderSource(shader, 1, &src, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

}  // namespace

TGLuint BuildProgram(std::string_view vertexResource, std::string_view fragmentResource,
                     std::string_view defines) {
  const GLuint vs = Compile(GL_VERTEX_SHADER, Source(vertexResource, {}));
  const GLuint fs = Compile(GL_FRAGMENT_SHADER, Source(fragmentResource, defines));
  GLuint program = 0;
  if (vs && fs) {
    program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glBindAttribLocation(program, 0, "position");
    glBindAttribLocation(program, 1, "diffuse");
    glBindAttribLocation(program, 2, "texcoord");
    glBindAttribLocation(program, 3, "corner");
    glLinkProgram(program);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
      glDeleteProgram(program);
      program = 0;
    }
  }
  if (vs) glDeleteShader(vs);
  if (fs) glDeleteShader(fs);
  return program;
}

int ShadingLanguageVersion() {
  const auto* text = reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION));
  int major = 0;
  int minor = 0;
  if (!text || std::sscanf(text, "%d.%d", &major, &minor) != 2) return 0;
  return major * 100 + minor;
}

int GLVersion() {
  const auto* text = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  int major = 0;
  int minor = 0;
  if (!text || std::sscanf(text, "%d.%d", &major, &minor) != 2) return 0;
  return major * 10 + minor;
}

bool HasGLExtension(const char* name) {
  if (GLVersion() >= 30) {
    GLint n = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &n);
    for (GLint i = 0; i < n; ++i) {
      const auto* e =
          reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
      if (e && std::strcmp(e, name) == 0) return true;
    }
    return false;
  }
  const auto* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (!all) return false;
  const std::size_t len = std::strlen(name);
  for (const char* p = std::strstr(all, name); p; p = std::strstr(p + 1, name))
    if ((p == all || p[-1] == ' ') && (p[len] == ' ' || p[len] == '\0')) return true;
  return false;
}
