// The full-screen layer (FullScreenQuad's textured, fogged, additive quad) on the software
// device and on Mesa's llvmpipe through OpenGL, side by side in one process: the same
// 640×480 target (RGB565 colour, 16-bit depth), the same texture, vertices and states read
// back from the device. After the runs the benchmarks' main prints the `layer:` line with the
// ratios (bench/LayerBench.h).
#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/DeviceScene.h"
#include "bench/LayerBench.h"

namespace {

using namespace bench;

constexpr int kWidth = 640, kHeight = 480;

// llvmpipe's rasterizer threads now alive in this process (they name themselves llvmpipe-N).
int LlvmpipeThreads() {
    int count = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return -1;
    while (const dirent* e = readdir(tasks)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name.rfind("llvmpipe-", 0) == 0) ++count;
    }
    closedir(tasks);
    return count;
}

// Row-vector products, as the device composes its transforms.
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX m;
    const float* x = &a.rc11;
    const float* y = &b.rc11;
    float* r = &m.rc11;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += x[i * 4 + k] * y[k * 4 + j];
            r[i * 4 + j] = sum;
        }
    }
    return m;
}

// Both shaders start with the program's #defines: FLAT_DIFFUSE where the quad's corners share
// one colour, SCREEN_LINEAR where they share one w (perspective correction then changes no
// value, and llvmpipe skips its divide per pixel).
const char* const kInterpolation = R"(
#if FLAT_DIFFUSE
#define DIFFUSE flat
#else
#define DIFFUSE
#endif
#if SCREEN_LINEAR
#define PLANE noperspective
#else
#define PLANE
#endif
)";

const char* const kVertexShader = R"(
uniform mat4 uWorldView;
uniform mat4 uWorldViewProjection;
uniform vec4 uScreen;  // half a pixel in clip x, in clip y; depth scale, offset
uniform vec2 uFog;     // start, end
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec4 aDiffuse;
layout(location = 2) in vec2 aTex;
DIFFUSE out vec4 vDiffuse;
PLANE out vec2 vTex;
PLANE out float vFog;
void main() {
    vec4 p = vec4(aPosition, 1.0);
    vec4 c = uWorldViewProjection * p;
    // Direct3D's clip z runs from 0 to w, its pixel centres are whole coordinates and its rows
    // run down: row r of the frame buffer is the device's row r.
    gl_Position = vec4(c.x + uScreen.x * c.w, -c.y + uScreen.y * c.w,
                       2.0 * (c.z * uScreen.z + uScreen.w * c.w) - c.w, c.w);
    // Linear range fog per vertex, as the device computes it.
    float d = length((uWorldView * p).xyz);
    float f = uFog.y != uFog.x ? (uFog.y - d) / (uFog.y - uFog.x) : (d < uFog.y ? 1.0 : 0.0);
    vFog = clamp(f, 0.0, 1.0);
    vDiffuse = aDiffuse;
    vTex = aTex;
}
)";

// Stage 0 modulates the texture by the diffuse colour; fog blends towards the fog colour.
const char* const kFragmentShader = R"(
uniform sampler2D uTexture;
uniform vec3 uFogColor;
DIFFUSE in vec4 vDiffuse;
PLANE in vec2 vTex;
PLANE in float vFog;
out vec4 fragColor;
void main() {
    vec3 c = texture(uTexture, vTex).rgb * vDiffuse.rgb;
    fragColor = vec4(mix(uFogColor, c, vFog), 1.0);
}
)";

GLuint Compile(GLenum kind, const std::string& defines, const char* body) {
    const GLuint s = glCreateShader(kind);
    const char* parts[3] = {defines.c_str(), kInterpolation, body};
    glShaderSource(s, 3, parts, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048] = {};
        glGetShaderInfoLog(s, sizeof log, nullptr, log);
        throw std::runtime_error(std::string("layer shader does not compile: ") + log);
    }
    return s;
}

GLenum BlendFactor(int32_t d3d) {
    switch (d3d) {
        case D3DBLEND_ZERO:
            return GL_ZERO;
        case D3DBLEND_ONE:
            return GL_ONE;
        case D3DBLEND_SRCCOLOR:
            return GL_SRC_COLOR;
        case D3DBLEND_INVSRCCOLOR:
            return GL_ONE_MINUS_SRC_COLOR;
        default:
            throw std::runtime_error("the layer's blend factor " + std::to_string(d3d) +
                                     " is not drawn by the OpenGL side");
    }
}

// A surface's pixels, row after row without the pitch.
std::vector<uint16_t> Pixels(DirectDrawSurface7& surface, int width, int height) {
    std::vector<uint16_t> pixels;
    for (int y = 0; y < height; ++y) {
        pixels.insert(pixels.end(), surface.Row(y), surface.Row(y) + width);
    }
    return pixels;
}

// One llvmpipe instance with its own thread count and a context drawing the layer into a
// 640×480 RGB565 + DEPTH_COMPONENT16 frame buffer. llvmpipe reads LP_NUM_THREADS when its
// screen is made, at eglInitialize, and eglTerminate ends that screen and its threads: each
// instance therefore brings up and ends its own, so that runs with different thread counts
// in one process each get the count they ask for (LlvmpipeThreads checks).
class GlLayer {
  public:
    explicit GlLayer(int threads) {
        try {
            Start(threads);
        } catch (...) {
            // What was brought up goes, so that the next instance starts its own llvmpipe.
            Release();
            throw;
        }
    }
    ~GlLayer() { Release(); }
    GlLayer(const GlLayer&) = delete;
    GlLayer& operator=(const GlLayer&) = delete;

    // The device's states for the layer, its texture and viewport, turned into GL's. States
    // this side does not draw are refused rather than drawn otherwise.
    void TakeStates(Direct3DDevice7& dev) {
        auto rs = [&](int32_t state) { return dev.GetRenderState(state); };
        auto tss = [&](int32_t type) { return dev.GetTextureStageState(0, type); };
        auto require = [](bool ok, const char* what) {
            if (!ok) throw std::runtime_error(std::string("the layer's states changed: ") + what);
        };
        require(!rs(D3DRENDERSTATE_LIGHTING), "lighting is on");
        require(!rs(D3DRENDERSTATE_SPECULARENABLE), "specular is on");
        require(!rs(D3DRENDERSTATE_DITHERENABLE), "dithering is on");
        require(!rs(D3DRENDERSTATE_ALPHATESTENABLE), "the alpha test is on");
        require(rs(D3DRENDERSTATE_FOGENABLE) && rs(D3DRENDERSTATE_FOGTABLEMODE) == D3DFOG_NONE &&
                    rs(D3DRENDERSTATE_FOGVERTEXMODE) == D3DFOG_LINEAR &&
                    rs(D3DRENDERSTATE_RANGEFOGENABLE),
                "fog is not linear range vertex fog");
        require(tss(D3DTSS_COLOROP) == D3DTOP_MODULATE && tss(D3DTSS_COLORARG1) == D3DTA_TEXTURE &&
                    tss(D3DTSS_COLORARG2) == D3DTA_CURRENT,
                "stage 0 does not modulate the texture by the diffuse colour");
        require(
            tss(D3DTSS_ADDRESSU) == D3DTADDRESS_WRAP && tss(D3DTSS_ADDRESSV) == D3DTADDRESS_WRAP,
            "the texture does not wrap");

        D3DMATRIX world, view, projection;
        dev.GetTransform(D3DTRANSFORMSTATE_WORLD, world);
        dev.GetTransform(D3DTRANSFORMSTATE_VIEW, view);
        dev.GetTransform(D3DTRANSFORMSTATE_PROJECTION, projection);
        const D3DMATRIX worldView = Multiply(world, view);
        const D3DMATRIX worldViewProjection = Multiply(worldView, projection);
        D3DVIEWPORT7 vp;
        dev.GetViewport(vp);
        worldViewProjection_ = worldViewProjection;
        const auto fog = static_cast<uint32_t>(rs(D3DRENDERSTATE_FOGCOLOR));
        for (const GLuint program : programs_) {
            glUseProgram(program);
            // Row-vector matrices stored by rows read as GL's column-major M, used as M * p.
            glUniformMatrix4fv(glGetUniformLocation(program, "uWorldView"), 1, GL_FALSE,
                               &worldView.rc11);
            glUniformMatrix4fv(glGetUniformLocation(program, "uWorldViewProjection"), 1, GL_FALSE,
                               &worldViewProjection.rc11);
            glUniform4f(glGetUniformLocation(program, "uScreen"),
                        1.0f / static_cast<float>(vp.lWidth), 1.0f / static_cast<float>(vp.lHeight),
                        vp.maxz - vp.minz, vp.minz);
            glUniform2f(glGetUniformLocation(program, "uFog"),
                        FloatFromBits(rs(D3DRENDERSTATE_FOGSTART)),
                        FloatFromBits(rs(D3DRENDERSTATE_FOGEND)));
            glUniform3f(glGetUniformLocation(program, "uFogColor"),
                        static_cast<float>((fog >> 16) & 0xFF) / 255.0f,
                        static_cast<float>((fog >> 8) & 0xFF) / 255.0f,
                        static_cast<float>(fog & 0xFF) / 255.0f);
        }
        glViewport(vp.lX, vp.lY, vp.lWidth, vp.lHeight);
        glDepthRange(0.0, 1.0);

        if (rs(D3DRENDERSTATE_ZENABLE)) {
            glEnable(GL_DEPTH_TEST);
            glDepthFunc(GL_NEVER + static_cast<GLenum>(rs(D3DRENDERSTATE_ZFUNC) - D3DCMP_NEVER));
            depthWrite_ = rs(D3DRENDERSTATE_ZWRITEENABLE) ? GL_TRUE : GL_FALSE;
        } else {
            glDisable(GL_DEPTH_TEST);
            depthWrite_ = GL_FALSE;
        }
        glDepthMask(depthWrite_);
        if (rs(D3DRENDERSTATE_ALPHABLENDENABLE)) {
            glEnable(GL_BLEND);
            glBlendFunc(BlendFactor(rs(D3DRENDERSTATE_SRCBLEND)),
                        BlendFactor(rs(D3DRENDERSTATE_DESTBLEND)));
        } else {
            glDisable(GL_BLEND);
        }
        // The flipped rows mirror the winding.
        const int32_t cull = rs(D3DRENDERSTATE_CULLMODE);
        if (cull == D3DCULL_NONE) {
            glDisable(GL_CULL_FACE);
        } else {
            glEnable(GL_CULL_FACE);
            glCullFace(cull == D3DCULL_CCW ? GL_BACK : GL_FRONT);
        }

        const SurfacePtr texture = dev.GetTexture(0);
        require(texture != nullptr, "no texture");
        DDSURFACEDESC2 desc;
        texture->GetSurfaceDesc(desc);
        const std::vector<uint16_t> texels = Pixels(*texture, desc.lWidth, desc.lHeight);
        // The texture as the device holds it, and expanded to 8 bits a channel by repeating
        // each channel's top bits, the values llvmpipe's filtering reads a 565 texel as: the
        // same pixels, without converting each texel at every fetch.
        std::vector<uint32_t> expanded(texels.size());
        for (size_t i = 0; i < texels.size(); ++i) {
            const uint32_t r = texels[i] >> 11, g = (texels[i] >> 5) & 63, b = texels[i] & 31;
            expanded[i] =
                (r << 3 | r >> 2) | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2) << 16 | 0xFF000000u;
        }
        const bool magLinear = tss(D3DTSS_MAGFILTER) == D3DTFG_LINEAR;
        const bool minLinear = tss(D3DTSS_MINFILTER) == D3DTFN_LINEAR;
        for (int i = 0; i < 2; ++i) {
            glBindTexture(GL_TEXTURE_2D, textures_[i]);
            if (i == 0) {
                glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB565, desc.lWidth, desc.lHeight, 0, GL_RGB,
                             GL_UNSIGNED_SHORT_5_6_5, texels.data());
            } else {
                glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
                glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, desc.lWidth, desc.lHeight, 0, GL_RGBA,
                             GL_UNSIGNED_BYTE, expanded.data());
                glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
            }
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER,
                            magLinear ? GL_LINEAR : GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                            minLinear ? GL_LINEAR : GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        }
        if (glGetError() != GL_NO_ERROR) throw std::runtime_error("OpenGL state set-up failed");
    }

    // The frame as the device's clear leaves it: one 565 colour, depth 1. The depth mask goes
    // back to the layer's, so that llvmpipe writes no depth the device does not.
    void Clear(uint16_t colour) {
        glClearColor(static_cast<float>(colour >> 11) / 31.0f,
                     static_cast<float>((colour >> 5) & 63) / 63.0f,
                     static_cast<float>(colour & 31) / 31.0f, 1.0f);
        glClearDepth(1.0);
        glDepthMask(GL_TRUE);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDepthMask(depthWrite_);
    }

    // Best: the expanded texture and the cheaper interpolation where it is exact, as the peer
    // at its fastest for the same picture; otherwise the 565 texture, every input perspective.
    void UseBest(bool best) { best_ = best; }

    // What DrawPrimitive does with caller's vertices: take them, draw the fan.
    void Draw(const std::array<D3DVERTEX, 4>& quad) {
        int variant = 0;
        if (best_) {
            bool oneColour = true, oneW = true;
            const D3DMATRIX& m = worldViewProjection_;
            auto w = [&](const D3DVERTEX& v) {
                return v.x * m.rc14 + v.y * m.rc24 + v.z * m.rc34 + m.rc44;
            };
            for (const D3DVERTEX& v : quad) {
                oneColour = oneColour && v.color == quad[0].color;
                oneW = oneW && w(v) == w(quad[0]);
            }
            variant = (oneColour ? 1 : 0) | (oneW ? 2 : 0);
        }
        glUseProgram(programs_[variant]);
        glBindTexture(GL_TEXTURE_2D, textures_[best_ ? 1 : 0]);
        glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof quad, quad.data());
        glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    }

    std::vector<uint16_t> Read() {
        std::vector<uint16_t> pixels(static_cast<size_t>(kWidth) * kHeight);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, pixels.data());
        return pixels;
    }

    // Waits, up to a second, for llvmpipe's threads to have started and named themselves.
    int ThreadsSeen(int want) const {
        int seen = LlvmpipeThreads();
        for (int i = 0; i < 100 && seen != want; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            seen = LlvmpipeThreads();
        }
        return seen;
    }

  private:
    void Start(int threads) {
        setenv("LP_NUM_THREADS", std::to_string(threads).c_str(), 1);
        // Software rendering even where a GPU driver exists; a caller's choice is kept.
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
        setenv("GALLIUM_DRIVER", "llvmpipe", 0);
        auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (getPlatformDisplay) {
            display_ =
                getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        }
        if (display_ == EGL_NO_DISPLAY) display_ = eglGetDisplay(EGL_DEFAULT_DISPLAY);
        EGLint major = 0, minor = 0;
        if (display_ == EGL_NO_DISPLAY || !eglInitialize(display_, &major, &minor)) {
            display_ = EGL_NO_DISPLAY;
            throw std::runtime_error(
                "no EGL display: llvmpipe cannot be reached (Mesa's libegl-mesa0 and "
                "libgl1-mesa-dri, from make deps)");
        }
        if (!eglBindAPI(EGL_OPENGL_API)) throw std::runtime_error("EGL has no desktop OpenGL");
        const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                     3,
                                     EGL_CONTEXT_MINOR_VERSION,
                                     3,
                                     EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                     EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                     EGL_NONE};
        context_ = eglCreateContext(display_, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
        if (context_ == EGL_NO_CONTEXT) {
            // Without surfaceless contexts: a small pbuffer to make the context current on.
            const EGLint want[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                   EGL_OPENGL_BIT, EGL_NONE};
            EGLConfig config;
            EGLint count = 0;
            if (!eglChooseConfig(display_, want, &config, 1, &count) || count == 0) {
                throw std::runtime_error("no EGL configuration for OpenGL");
            }
            context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, attributes);
            const EGLint size[] = {EGL_WIDTH, 16, EGL_HEIGHT, 16, EGL_NONE};
            surface_ = eglCreatePbufferSurface(display_, config, size);
        }
        if (context_ == EGL_NO_CONTEXT || !eglMakeCurrent(display_, surface_, surface_, context_)) {
            throw std::runtime_error("cannot make an OpenGL 3.3 context current");
        }
        const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        renderer_ = renderer ? renderer : "unknown";
        if (renderer_.find("llvmpipe") == std::string::npos) {
            throw std::runtime_error("the OpenGL renderer is " + renderer_ + ", not llvmpipe");
        }

        glGenFramebuffers(1, &fbo_);
        glGenRenderbuffers(2, renderbuffers_);
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers_[0]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB565, kWidth, kHeight);
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers_[1]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, kWidth, kHeight);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  renderbuffers_[0]);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                  renderbuffers_[1]);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            throw std::runtime_error("llvmpipe has no RGB565 + 16-bit depth frame buffer");
        }

        for (int variant = 0; variant < 4; ++variant) {
            const std::string defines = std::string("#version 330 core\n#define FLAT_DIFFUSE ") +
                                        ((variant & 1) ? "1" : "0") + "\n#define SCREEN_LINEAR " +
                                        ((variant & 2) ? "1" : "0") + "\n";
            const GLuint v = Compile(GL_VERTEX_SHADER, defines, kVertexShader);
            const GLuint f = Compile(GL_FRAGMENT_SHADER, defines, kFragmentShader);
            GLuint& program = programs_[variant];
            program = glCreateProgram();
            glAttachShader(program, v);
            glAttachShader(program, f);
            glLinkProgram(program);
            glDeleteShader(v);
            glDeleteShader(f);
            GLint linked = 0;
            glGetProgramiv(program, GL_LINK_STATUS, &linked);
            if (!linked) throw std::runtime_error("layer shaders do not link");
            glUseProgram(program);
            glUniform1i(glGetUniformLocation(program, "uTexture"), 0);
        }

        glGenVertexArrays(1, &vao_);
        glBindVertexArray(vao_);
        glGenBuffers(1, &vbo_);
        glBindBuffer(GL_ARRAY_BUFFER, vbo_);
        glBufferData(GL_ARRAY_BUFFER, sizeof(D3DVERTEX) * 4, nullptr, GL_STREAM_DRAW);
        const GLsizei stride = sizeof(D3DVERTEX);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offsetof(D3DVERTEX, x)));
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                              reinterpret_cast<const void*>(offsetof(D3DVERTEX, color)));
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offsetof(D3DVERTEX, tu)));
        glGenTextures(2, textures_);
        glActiveTexture(GL_TEXTURE0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
        glPixelStorei(GL_PACK_ALIGNMENT, 2);
        glDisable(GL_DITHER);
        glDisable(GL_SCISSOR_TEST);
        if (glGetError() != GL_NO_ERROR) throw std::runtime_error("OpenGL set-up failed");
    }

    void Release() {
        if (display_ == EGL_NO_DISPLAY) return;
        if (context_ != EGL_NO_CONTEXT) {
            glFinish();
            for (const GLuint program : programs_) glDeleteProgram(program);
            glDeleteTextures(2, textures_);
            glDeleteBuffers(1, &vbo_);
            glDeleteVertexArrays(1, &vao_);
            glDeleteRenderbuffers(2, renderbuffers_);
            glDeleteFramebuffers(1, &fbo_);
            eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            eglDestroyContext(display_, context_);
        }
        if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display_, surface_);
        eglTerminate(display_);
        display_ = EGL_NO_DISPLAY;
        context_ = EGL_NO_CONTEXT;
        surface_ = EGL_NO_SURFACE;
    }
    EGLDisplay display_ = EGL_NO_DISPLAY;
    EGLContext context_ = EGL_NO_CONTEXT;
    EGLSurface surface_ = EGL_NO_SURFACE;
    std::string renderer_;
    GLuint fbo_ = 0, renderbuffers_[2] = {}, programs_[4] = {}, vao_ = 0, vbo_ = 0;
    GLuint textures_[2] = {};  // the 565 texture, the expanded one
    D3DMATRIX worldViewProjection_;
    GLboolean depthWrite_ = GL_FALSE;
    bool best_ = true;
};

// Mean absolute difference of each channel, in 8-bit units, and the largest of any channel.
struct Difference {
    double mean[3] = {};
    double max = 0;
};

Difference Compare(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b) {
    Difference d;
    const int shifts[3] = {11, 5, 0};
    const int maxima[3] = {31, 63, 31};
    for (size_t i = 0; i < a.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            const int x = (a[i] >> shifts[c]) & maxima[c], y = (b[i] >> shifts[c]) & maxima[c];
            const double diff = std::abs(x - y) * 255.0 / maxima[c];
            d.mean[c] += diff;
            d.max = std::max(d.max, diff);
        }
    }
    for (double& m : d.mean) m /= static_cast<double>(a.size());
    return d;
}

struct FrameCheck {
    Difference toDevice;   // llvmpipe's frame at its best settings against the device's
    long bestVsPlain = 0;  // pixels the best settings draw otherwise than the plain ones
};

// One fresh frame of the layer on each side over the scene's cleared background, the GL side
// drawn with its plain settings and with its best. fogRange, when given, moves the fog over
// the quad (it is out of reach at the layer's own distance, so that the fog factor is checked
// where it varies).
FrameCheck SameFrame(GlLayer& gl, const float* fogRange) {
    Scene s(kBest, 1);
    const std::array<D3DVERTEX, 4> quad = FullScreenLayer(s, false);
    Direct3DDevice7& dev = *s.device;
    if (fogRange) {
        dev.SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(fogRange[0]));
        dev.SetRenderState(D3DRENDERSTATE_FOGEND, FloatBits(fogRange[1]));
    }
    dev.Finish();
    const uint16_t background = s.target->Row(0)[0];
    gl.TakeStates(dev);
    auto glFrame = [&](bool best) {
        gl.UseBest(best);
        gl.Clear(background);
        gl.Draw(quad);
        return gl.Read();
    };
    const std::vector<uint16_t> plain = glFrame(false), best = glFrame(true);
    dev.BeginScene();
    dev.DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_VERTEX, quad.data(), 4, 0);
    dev.EndScene();
    dev.Finish();
    const std::vector<uint16_t> ours = Pixels(*s.target, kWidth, kHeight);
    // Two untouched backgrounds would match and prove nothing.
    if (std::count(ours.begin(), ours.end(), background) == static_cast<long>(ours.size())) {
        throw std::runtime_error("the layer left the frame as it was cleared");
    }
    FrameCheck check;
    check.toDevice = Compare(ours, best);
    for (size_t i = 0; i < best.size(); ++i) check.bestVsPlain += best[i] != plain[i];
    return check;
}

void LayerDevice(benchmark::State& state, int threads) {
    FullScreenQuad(state, kBest, false, threads);
}

// The same work per iteration as the device's: the quad drawn over the last frame, no clear,
// glFinish so that the time covers the drawing (llvmpipe draws asynchronously).
void LayerLlvmpipe(benchmark::State& state, int threads) {
    Scene s(kBest, 1);
    const std::array<D3DVERTEX, 4> quad = FullScreenLayer(s, false);
    std::unique_ptr<GlLayer> gl;
    try {
        gl = std::make_unique<GlLayer>(threads);
        s.device->Finish();
        gl->TakeStates(*s.device);
        gl->Clear(s.target->Row(0)[0]);
        // The first draw builds llvmpipe's code for these states: not timed.
        gl->Draw(quad);
        glFinish();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    const int seen = gl->ThreadsSeen(threads);
    if (seen != threads) {
        const std::string why =
            "llvmpipe runs " + std::to_string(seen) + " threads, not " + std::to_string(threads);
        state.SkipWithError(why.c_str());
        return;
    }
    for (auto _ : state) {
        gl->Draw(quad);
        glFinish();
    }

    FrameCheck same, fogged;
    try {
        same = SameFrame(*gl, nullptr);
        const float fogOverQuad[2] = {1.0f, 1.35f};
        fogged = SameFrame(*gl, fogOverQuad);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(kWidth * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["lp_threads"] = seen;
    const char* channel[3] = {"diff_r", "diff_g", "diff_b"};
    for (int c = 0; c < 3; ++c) {
        state.counters[channel[c]] = same.toDevice.mean[c];
        state.counters[std::string("fog_") + channel[c]] = fogged.toDevice.mean[c];
    }
    state.counters["diff_max"] = std::max(same.toDevice.max, fogged.toDevice.max);
    state.counters["best_vs_plain_px"] = static_cast<double>(same.bestVsPlain + fogged.bestVsPlain);
}

}  // namespace

// Real time: llvmpipe draws on its own threads while this one waits in glFinish.
BENCHMARK_CAPTURE(LayerDevice, 1_thread, 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(LayerLlvmpipe, 1_thread, 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(LayerDevice, 2_threads, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(LayerLlvmpipe, 2_threads, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

namespace bench {

void PrintLayerLine(const std::vector<benchmark::BenchmarkReporter::Run>& runs, std::ostream& out) {
    // Per benchmark, the median of the repetitions where there are some, else its one run.
    using Run = benchmark::BenchmarkReporter::Run;
    std::map<std::string, const Run*> chosen, medians;
    bool any = false;
    std::string skipped;
    for (const auto& run : runs) {
        const std::string& name = run.run_name.function_name;
        if (name.rfind("Layer", 0) != 0) continue;
        any = true;
        if (run.error_occurred) {
            skipped = run.error_message;
        } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
            medians[name] = &run;
        } else if (run.run_type == Run::RT_Iteration && !chosen.count(name)) {
            chosen[name] = &run;
        }
    }
    if (!any) return;
    for (const auto& [name, run] : medians) chosen[name] = run;

    auto ms = [&](const std::string& name) -> double {
        const auto it = chosen.find(name);
        if (it == chosen.end()) return NAN;
        const auto& run = *it->second;
        return run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e3;
    };
    auto number = [](double v, int digits) {
        if (std::isnan(v)) return std::string("n/a");
        char text[32];
        std::snprintf(text, sizeof text, "%.*f", digits, v);
        return std::string(text);
    };
    std::string line = "layer:";
    for (const char* t : {"1", "2"}) {
        const std::string suffix = std::string(t) + (t[0] == '1' ? "_thread" : "_threads");
        const double soft = ms("LayerDevice/" + suffix), lp = ms("LayerLlvmpipe/" + suffix);
        line += std::string(" soft_") + t + "t_ms=" + number(soft, 3) + " llvmpipe_" + t +
                "t_ms=" + number(lp, 3) + " ratio_" + t + "t=" + number(lp / soft, 2);
    }
    const auto diffs = [&](const char* prefix) {
        for (const char* suffix : {"1_thread", "2_threads"}) {
            const auto it = chosen.find(std::string("LayerLlvmpipe/") + suffix);
            if (it == chosen.end()) continue;
            const auto& c = it->second->counters;
            const auto get = [&](const char* channel) {
                const auto at = c.find(std::string(prefix) + channel);
                return at == c.end() ? NAN : at->second.value;
            };
            return number(get("diff_r"), 2) + "," + number(get("diff_g"), 2) + "," +
                   number(get("diff_b"), 2);
        }
        return std::string("n/a");
    };
    line += " mean_abs_diff=" + diffs("") + " fog_mean_abs_diff=" + diffs("fog_");
    // llvmpipe is timed at its best settings; this many pixels of the two check frames differ
    // from its plain settings' (565 texture, perspective inputs): 0 when they draw the same.
    double changed = NAN;
    for (const char* suffix : {"1_thread", "2_threads"}) {
        const auto it = chosen.find(std::string("LayerLlvmpipe/") + suffix);
        if (it == chosen.end()) continue;
        const auto at = it->second->counters.find("best_vs_plain_px");
        if (at != it->second->counters.end())
            changed = std::isnan(changed) ? at->second.value : std::max(changed, at->second.value);
    }
    line += " best_vs_plain_px=" + number(changed, 0);
    out << line << "\n";
    if (!skipped.empty()) out << "layer: a run was skipped: " << skipped << "\n";
}

}  // namespace bench
