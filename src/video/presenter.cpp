#include "video/presenter.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "directshow/formats.h"
#include "video/bgr24_scaler.h"
#include "video/gl_program.h"
#include "video/yuv_matrix.h"

namespace {

// Attribute slots bound by BuildProgram.
constexpr GLuint kPosition = 0;
constexpr GLuint kDiffuse = 1;
constexpr GLuint kTexcoord = 2;
constexpr GLuint kCorner = 3;

void DrainErrors() {
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

void SetLinearClamp() {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

GLuint MakeTexture(GLint internalFormat, int width, int height, GLenum format) {
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  SetLinearClamp();
  glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, GL_UNSIGNED_BYTE,
               nullptr);
  return tex;
}

void DeleteTexture(unsigned& tex) {
  if (tex) glDeleteTextures(1, &tex);
  tex = 0;
}

void DeleteBuffer(unsigned& buf) {
  if (buf) glDeleteBuffers(1, &buf);
  buf = 0;
}

void DeleteProgram(unsigned& prog) {
  if (prog) glDeleteProgram(prog);
  prog = 0;
}

// Whether the current context samples NV12 through a luma and a chroma
// texture: two-channel textures exist and a probe pair can be made.
bool ProbeNv12() {
  if (GLVersion() < 30 && !HasGLExtension("GL_ARB_texture_rg")) return false;
  DrainErrors();
  GLuint y = MakeTexture(GL_R8, 10, 10, GL_RED);
  GLuint uv = MakeTexture(GL_RG8, 5, 5, GL_RG);
  const bool ok = y && uv && glGetError() == GL_NO_ERROR;
  DeleteTexture(y);
  DeleteTexture(uv);
  return ok;
}

bool EnvIs(const char* name, const char* value) {
  const char* v = std::getenv(name);
  return v && std::strcmp(v, value) == 0;
}

}  // namespace

TPresenterOptions TPresenterOptions::FromEnvironment() {
  TPresenterOptions o;
  o.forceSoftware = EnvIs("LUMORA_VIDEO_OUT", "software");
  if (EnvIs("LUMORA_VIDEO_GLSL", "120")) o.glslVariant = 120;
  if (EnvIs("LUMORA_VIDEO_GLSL", "330")) o.glslVariant = 330;
  o.disableNV12 = EnvIs("LUMORA_VIDEO_NV12", "0");
  return o;
}

TfrmRenderer::TfrmRenderer(HWND dev, std::shared_ptr<TVideoOutput> output,
                           TPresenterOptions options)
    : fOutput(output ? std::move(output) : CreateX11VideoOutput()), fOptions(options) {
  fTV = dev;
  pss[kRegBrightness] = {0, 1};
  pss[kRegContrast] = {0, 1};
  pss[kRegHue] = {0, 1};
  pss[kRegSaturation] = {1, 1};
  std::lock_guard lock(FLock);
  InitDevice(true);
  if (fDevice) fDevice->DoneCurrent();
}

TfrmRenderer::~TfrmRenderer() {
  std::lock_guard lock(FLock);
  if (fDevice && fDevice->MakeCurrent()) ReleaseSizeObjects();
  ReleaseDevice();
}

HRESULT TfrmRenderer::Status() const {
  if (fUseGDI) return kPresenterSoftware;
  if (fNoNV12) return kPresenterNoNV12;
  return kPresenterReady;
}

double TfrmRenderer::NewAspect() const {
  std::lock_guard lock(fParamLock);
  return fNewAspect;
}

TPresenterStats TfrmRenderer::Stats() const {
  return {fPresentations.load(), fUploads.load(), fStretches.load(), fBusySkips.load(),
          fDevicesCreated.load()};
}

HRESULT TfrmRenderer::ResetDevice(int vWidth, int vHeight, double vAspect, bool vNV12) {
  const HRESULT status = Status();
  std::lock_guard lock(fParamLock);
  if (NewParam.need_set && vAspect == 0) return status;
  if (vAspect != 0) fNewAspect = vAspect;
  NewParam.need_set = false;
  NewParam.Width = vWidth > 0 ? vWidth : fWidth;
  NewParam.Height = vHeight > 0 ? vHeight : fHeight;
  if (vAspect > 0) {
    NewParam.AspectRatio = vAspect;
    NewParam.NV12 = vNV12;
  } else {
    NewParam.AspectRatio = fAspectRatio;
    NewParam.NV12 = NV12;
  }
  NewParam.need_set = true;
  return status;
}

void TfrmRenderer::SetPSConstant(int idx, float vl) {
  if (idx < kFirstPictureRegister || idx > kLastPictureRegister) return;
  std::lock_guard lock(fParamLock);
  pss[idx] = {vl, 1};
  fParamDirty = true;
}

void TfrmRenderer::Kill() {
  fKilled.store(true, std::memory_order_release);
  std::lock_guard wait(FLock);  // a presentation in progress stops at its next check
}

void TfrmRenderer::DoRenderSample(const BYTE* Sample, LONG sSize, REFERENCE_TIME /*sTime*/,
                                  REFERENCE_TIME /*eTime*/, bool repeats) {
  if (fTV == 0) return;
  try {
    if (fUseGDI)
      PresentSoftware(Sample, sSize);
    else
      PresentFrame(Sample, sSize, repeats);
  } catch (...) {
    // A presentation that fails is skipped; the next one tries again.
  }
}

// Takes over a pending frame-format request; true when there was one.
void TfrmRenderer::AdoptRequest() {
  std::lock_guard lock(fParamLock);
  if (!NewParam.need_set) return;
  fWidth = NewParam.Width;
  fHeight = NewParam.Height;
  fAspectRatio = NewParam.AspectRatio;
  NV12 = NewParam.NV12;
  NewParam.need_set = false;
}

int TfrmRenderer::InitDevice(bool atConstruction) {
  if (Stop()) return 1;
  if (fOptions.forceSoftware) {
    if (atConstruction) fUseGDI = true;
    return 1;
  }
  DWM_Composition = fOutput->CompositionEnabled();
  fDevice = fOutput->CreateDevice(fTV, !DWM_Composition);
  if (Stop()) {
    fDevice.reset();
    return 1;
  }
  const bool usable = fDevice && fDevice->MakeCurrent() && GLVersion() >= 20 &&
                      (GLVersion() >= 30 || HasGLExtension("GL_ARB_framebuffer_object"));
  if (!usable) {
    fDevice.reset();
    // Only a failure at construction makes the software path permanent; a
    // later one leaves the next presentation to try again.
    if (atConstruction) fUseGDI = true;
    return 1;
  }
  fUseGDI = false;
  ++fDevicesCreated;

  const int glsl = ShadingLanguageVersion();
  fVariant = glsl >= 330 ? 330 : 120;
  if (fOptions.glslVariant == 120) fVariant = 120;
  fHaveVao = GLVersion() >= 30 || HasGLExtension("GL_ARB_vertex_array_object");
  if (fHaveVao) {
    glGenVertexArrays(1, &fVao);
    glBindVertexArray(fVao);
  }
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_BLEND);
  glDisable(GL_DITHER);
  glDisable(GL_STENCIL_TEST);

  const char* quad = fVariant == 330 ? "QUAD3" : "QUAD2";
  const char* stretch = fVariant == 330 ? "STRETCH3" : "STRETCH2";
  fStretchRgb = BuildProgram(quad, stretch);
  if (!fStretchRgb) {
    ReleaseDevice();
    if (atConstruction) fUseGDI = true;
    return 1;
  }
  const float corners[8] = {-1, -1, 1, -1, -1, 1, 1, 1};
  glGenBuffers(1, &fQuad);
  glBindBuffer(GL_ARRAY_BUFFER, fQuad);
  glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);

  bool nv12 = !fOptions.disableNV12 && ProbeNv12();
  if (nv12) {
    fStretchNv12 = BuildProgram(quad, stretch, "#define NV12 1");
    nv12 = fStretchNv12 != 0;
  }
  const int result = nv12 ? kPresenterReady : kPresenterNoNV12;
  fNoNV12 = result == kPresenterNoNV12;
  return result;
}

void TfrmRenderer::ReleaseDevice() {
  // The objects go with the context.
  fVao = VB = TEXTURE = fFbo = fOffY = fOffUV = sil_ps = 0;
  fStretchRgb = fStretchNv12 = fQuad = 0;
  fTexWidth = fTexHeight = fOffWidth = fOffHeight = 0;
  fShaderVariant = 0;
  fDevice.reset();
}

void TfrmRenderer::ReleaseSizeObjects() {
  DeleteTexture(fOffY);
  DeleteTexture(fOffUV);
  DeleteProgram(sil_ps);
  fShaderVariant = 0;
  if (fFbo) glDeleteFramebuffers(1, &fFbo);
  fFbo = 0;
  DeleteTexture(TEXTURE);
  DeleteBuffer(VB);
  fTexWidth = fTexHeight = fOffWidth = fOffHeight = 0;
}

void TfrmRenderer::PresentFrame(const BYTE* sample, LONG size, bool repeats) {
  if (Stop()) return;
  std::unique_lock lock(FLock, std::try_to_lock);
  if (!lock.owns_lock()) {
    ++fBusySkips;
    return;
  }
  struct Release {
    TfrmRenderer* self;
    ~Release() {
      if (self->fDevice) self->fDevice->DoneCurrent();
    }
  } release{this};

  // A lost device is released and rebuilt below.
  if (fDevice && (!fDevice->MakeCurrent() || fDevice->IsLost())) ReleaseDevice();

  // A frame-format request takes a new device.
  bool adopted;
  {
    std::lock_guard params(fParamLock);
    adopted = NewParam.need_set;
  }
  if (adopted) {
    AdoptRequest();
    ReleaseDevice();
  }

  int cw = 0;
  int ch = 0;
  if (!fOutput->ClientSize(fTV, &cw, &ch)) return;  // no window to draw into
  if (cw != wWidth || ch != wHeight) fNeedResize = true;
  if (Stop()) return;

  if (fNeedResize) {
    if (fOutput->ClientSize(fTV, &cw, &ch)) {
      wWidth = cw;
      wHeight = ch;
      if (fDevice) {
        ReleaseSizeObjects();
        if (!fDevice->Reset(cw, ch)) ReleaseDevice();
      }
    }
    fNeedResize = false;
  }
  if (wWidth <= 0 || wHeight <= 0) return;  // nothing to draw into (minimised)

  if (!fDevice && InitDevice(false) == 1) return;  // the next presentation tries again

  if (!VB || !TEXTURE) InitGeometry();
  if (!sil_ps) InitShader();

  bool upload = !repeats || !fOffY;
  if (upload) upload = Upload(sample, size);
  if (Stop()) return;

  if (TEXTURE) {
    if (Stop()) return;
    if (upload) Stretch();
  }

  if (Stop()) return;
  Draw();
  if (Stop()) return;
  if (fDevice->Present()) ++fPresentations;
}

void TfrmRenderer::InitGeometry() {
  if (Stop() || !fDevice) return;
  if (fFbo) glDeleteFramebuffers(1, &fFbo);
  fFbo = 0;
  DeleteTexture(TEXTURE);
  DeleteTexture(fOffY);
  DeleteTexture(fOffUV);
  DeleteBuffer(VB);

  const int w = wWidth;
  const int h = wHeight;
  int frameWidth;
  int frameHeight;
  {
    std::lock_guard params(fParamLock);
    frameWidth = fWidth;
    frameHeight = fHeight;
  }
  const double k = WarpStrength(fDisplayMode, frameWidth, frameHeight);
  const TStrip strip = BuildStrip(w, h, k);
  if (Stop()) return;
  glGenBuffers(1, &VB);
  glBindBuffer(GL_ARRAY_BUFFER, VB);
  glBufferData(GL_ARRAY_BUFFER, sizeof strip, strip.data(), GL_DYNAMIC_DRAW);

  TEXTURE = MakeTexture(GL_RGBA8, w, h, GL_BGRA);
  glGenFramebuffers(1, &fFbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fFbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, TEXTURE, 0);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &fFbo);
    fFbo = 0;
    DeleteTexture(TEXTURE);
    return;
  }
  // Black until the first stretch.
  glViewport(0, 0, w, h);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  fTexWidth = w;
  fTexHeight = h;
}

void TfrmRenderer::InitShader() {
  if (!fDevice || Stop()) return;
  DeleteProgram(sil_ps);
  const bool v330 = fVariant == 330;
  const char* vs = v330 ? "VS3" : "VS2";
  sil_ps = BuildProgram(vs, v330 ? "PS3" : "PS2");
  fShaderVariant = sil_ps ? fVariant : 0;
  if (!sil_ps) sil_ps = BuildProgram(vs, v330 ? "PLAIN3" : "PLAIN2");  // unadjusted
  if (Stop() || !sil_ps) return;
  glUseProgram(sil_ps);
  glUniform1i(glGetUniformLocation(sil_ps, "S0"), 0);
  for (int i = 0; i < 9; ++i) {
    const std::string name = "c[" + std::to_string(i) + "]";
    fConstLoc[i] = glGetUniformLocation(sil_ps, name.c_str());
  }
  fTargetLoc = glGetUniformLocation(sil_ps, "target");
  if (fConstLoc[kRegSampleOffset] >= 0)
    glUniform4f(fConstLoc[kRegSampleOffset], kSharpenTapOffset, kSharpenTapOffset, 0, 0);
  fConstantsDirty = true;
}

void TfrmRenderer::UploadConstants() {
  TConstant values[9];
  bool changed;
  {
    std::lock_guard params(fParamLock);
    std::memcpy(values, pss, sizeof values);
    changed = fParamDirty;
    fParamDirty = false;
  }
  if (!changed && !fConstantsDirty) return;
  fConstantsDirty = false;
  for (int idx = kFirstPictureRegister; idx <= kLastPictureRegister; ++idx)
    if (values[idx].count > 0 && fConstLoc[idx] >= 0)
      glUniform4f(fConstLoc[idx], values[idx].value, 0, 0, 0);
}

bool TfrmRenderer::Upload(const BYTE* sample, LONG size) {
  const int w = fWidth;
  const int h = fHeight;
  const bool nv12 = NV12;
  const std::int64_t need = FrameBytes(nv12 ? TFrameLayout::Nv12 : TFrameLayout::Rgb32, w, h);
  if (!sample || need == 0 || size < need) return false;  // skipped: the texture keeps its picture
  if (fOffY && (fOffIsNV12 != nv12 || fOffWidth != w || fOffHeight != h)) {
    DeleteTexture(fOffY);
    DeleteTexture(fOffUV);
  }
  const int chromaRows = Nv12Rows(h) - h;
  const int chromaWidth = w / 2;
  if (!fOffY) {
    if (nv12) {
      fOffY = MakeTexture(GL_R8, w, h, GL_RED);
      fOffUV = MakeTexture(GL_RG8, chromaWidth > 0 ? chromaWidth : 1,
                           chromaRows > 0 ? chromaRows : 1, GL_RG);
    } else {
      fOffY = MakeTexture(GL_RGBA8, w, h, GL_BGRA);
    }
    fOffIsNV12 = nv12;
    fOffWidth = w;
    fOffHeight = h;
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, w);
  glBindTexture(GL_TEXTURE_2D, fOffY);
  if (nv12) {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RED, GL_UNSIGNED_BYTE, sample);
    const BYTE* chroma = sample + static_cast<std::size_t>(w) * h;
    glBindTexture(GL_TEXTURE_2D, fOffUV);
    if (chromaWidth > 0 && chromaRows > 0) {
      if (w % 2 == 0) {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, chromaWidth);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, chromaWidth, chromaRows, GL_RG, GL_UNSIGNED_BYTE,
                        chroma);
      } else {
        // Rows of an odd width are not a whole number of chroma pairs apart.
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        for (int r = 0; r < chromaRows; ++r)
          glTexSubImage2D(GL_TEXTURE_2D, 0, 0, r, chromaWidth, 1, GL_RG, GL_UNSIGNED_BYTE,
                          chroma + static_cast<std::size_t>(r) * w);
      }
    }
  } else {
    // Rows as they come (bottom-up); the stretch turns them the right way.
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, sample);
  }
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  ++fUploads;
  return true;
}

void TfrmRenderer::Stretch() {
  const RECT rc = FittingRect(fTexWidth, fTexHeight, fAspectRatio, fDisplayMode);
  glBindFramebuffer(GL_FRAMEBUFFER, fFbo);
  glViewport(0, 0, fTexWidth, fTexHeight);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  const GLuint program = fOffIsNV12 ? fStretchNv12 : fStretchRgb;
  if (program && rc.right > rc.left && rc.bottom > rc.top) {
    // The window texture's first row is the picture's top row.
    glViewport(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    glUseProgram(program);
    glUniform1f(glGetUniformLocation(program, "flipV"), fOffIsNV12 ? 0.0f : 1.0f);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, fOffY);
    if (fOffIsNV12) {
      glActiveTexture(GL_TEXTURE1);
      glBindTexture(GL_TEXTURE_2D, fOffUV);
      glActiveTexture(GL_TEXTURE0);
      glUniform1i(glGetUniformLocation(program, "planeY"), 0);
      glUniform1i(glGetUniformLocation(program, "planeUV"), 1);
      const TYuvMatrix m = YuvToRgbMatrix(IsHdFrame(fOffWidth, fOffHeight));
      glUniformMatrix3fv(glGetUniformLocation(program, "yuvToRgb"), 1, GL_TRUE, m.rows);
      glUniform3fv(glGetUniformLocation(program, "yuvOffset"), 1, m.offset);
    } else {
      glUniform1i(glGetUniformLocation(program, "frame"), 0);
    }
    glDisableVertexAttribArray(kPosition);
    glDisableVertexAttribArray(kDiffuse);
    glDisableVertexAttribArray(kTexcoord);
    glBindBuffer(GL_ARRAY_BUFFER, fQuad);
    glEnableVertexAttribArray(kCorner);
    glVertexAttribPointer(kCorner, 2, GL_FLOAT, GL_FALSE, 8, nullptr);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  ++fStretches;
}

void TfrmRenderer::Draw() {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, fTexWidth, fTexHeight);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  if (!sil_ps || !VB || !TEXTURE) return;
  glUseProgram(sil_ps);
  UploadConstants();
  if (fTargetLoc >= 0)
    glUniform2f(fTargetLoc, static_cast<float>(fTexWidth), static_cast<float>(fTexHeight));
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, TEXTURE);
  glBindBuffer(GL_ARRAY_BUFFER, VB);
  glDisableVertexAttribArray(kCorner);
  glEnableVertexAttribArray(kPosition);
  glEnableVertexAttribArray(kDiffuse);
  glEnableVertexAttribArray(kTexcoord);
  constexpr GLsizei stride = sizeof(TStripVertex);
  glVertexAttribPointer(kPosition, 4, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void*>(offsetof(TStripVertex, x)));
  glVertexAttribPointer(kDiffuse, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                        reinterpret_cast<const void*>(offsetof(TStripVertex, diffuse)));
  glVertexAttribPointer(kTexcoord, 2, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void*>(offsetof(TStripVertex, u)));
  if (Stop()) return;
  glDrawArrays(GL_TRIANGLE_STRIP, 0, kStripTriangles + 2);
}

void TfrmRenderer::PresentSoftware(const BYTE* sample, LONG size) {
  std::unique_lock lock(FLock, std::try_to_lock);
  if (!lock.owns_lock()) {
    ++fBusySkips;
    return;
  }
  if (Stop()) return;
  AdoptRequest();
  int cw = 0;
  int ch = 0;
  if (!fOutput->ClientSize(fTV, &cw, &ch) || cw <= 0 || ch <= 0) return;
  const int stride = DibRowBytes(cw, 24);
  fSoftBitmap.assign(static_cast<std::size_t>(stride) * ch, 0);
  const std::int64_t need = FrameBytes(TFrameLayout::Rgb24, fWidth, fHeight);
  if (sample && need > 0 && size >= need)
    ScaleBgr24(sample, fWidth, fHeight, fSoftBitmap.data(), cw, ch, stride);
  if (Stop()) return;
  if (fOutput->BlitBgr24(fTV, fSoftBitmap.data(), cw, ch, stride)) ++fPresentations;
}
