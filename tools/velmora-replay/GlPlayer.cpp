#include "tools/velmora-replay/GlPlayer.h"

#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "platform/dx/D3DPipeline.h"

namespace replay {

// ---------------------------------------------------------------- context

GlContext::GlContext(int threads) {
    // llvmpipe reads its thread count once, when the driver starts.
    setenv("LP_NUM_THREADS", std::to_string(threads).c_str(), 1);
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay dpy = EGL_NO_DISPLAY;
    if (getPlatformDisplay) {
        dpy = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    }
    if (dpy == EGL_NO_DISPLAY) dpy = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    EGLint major = 0, minor = 0;
    if (dpy == EGL_NO_DISPLAY || !eglInitialize(dpy, &major, &minor)) {
        throw std::runtime_error("no EGL display for OpenGL (is Mesa's libegl-mesa0 installed?)");
    }
    if (!eglBindAPI(EGL_OPENGL_API)) throw std::runtime_error("EGL has no desktop OpenGL");
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                 3,
                                 EGL_CONTEXT_MINOR_VERSION,
                                 3,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                 EGL_NONE};
    EGLContext ctx = eglCreateContext(dpy, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    EGLSurface surface = EGL_NO_SURFACE;
    if (ctx == EGL_NO_CONTEXT) {
        // Without surfaceless contexts: a small pbuffer to make the context current on.
        const EGLint want[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                               EGL_OPENGL_BIT, EGL_NONE};
        EGLConfig config;
        EGLint count = 0;
        if (!eglChooseConfig(dpy, want, &config, 1, &count) || count == 0) {
            throw std::runtime_error("no EGL configuration for OpenGL");
        }
        ctx = eglCreateContext(dpy, config, EGL_NO_CONTEXT, attributes);
        const EGLint size[] = {EGL_WIDTH, 16, EGL_HEIGHT, 16, EGL_NONE};
        surface = eglCreatePbufferSurface(dpy, config, size);
    }
    if (ctx == EGL_NO_CONTEXT || !eglMakeCurrent(dpy, surface, surface, ctx)) {
        throw std::runtime_error("cannot make an OpenGL 3.3 context current");
    }
    display_ = dpy;
    context_ = ctx;
}

GlContext::~GlContext() {
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display_, context_);
    eglTerminate(display_);
}

std::string GlContext::Renderer() const {
    const auto* r = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return r ? r : "unknown";
}

// ---------------------------------------------------------------- shaders

namespace {

constexpr int kMaxLights = 8;

// The constants every generated program reads, in one uniform block (std140).
struct LightBlock {
    float diffuse[4], specular[4], ambient[4];
    float position[4];     // camera space; w = type
    float direction[4];    // camera space, unit; w = range
    float attenuation[4];  // att0, att1, att2, falloff
    float spot[4];         // cos(theta/2), cos(phi/2)
};
struct Constants {
    float worldView[16];
    float worldViewProjection[16];
    float normal[16];  // rows of the 3×3 normal matrix, padded
    float screen[4];   // scaleX, offsetX, scaleY, offsetY of the viewport
    float screen2[4];  // scaleZ, offsetZ, half a pixel in clip x, in clip y
    float globalAmbient[4];
    float matDiffuse[4], matAmbient[4], matSpecular[4], matEmissive[4];
    float matPower[4];
    float fog[4];  // start, end, density
    float fogColor[4];
    float key[4];  // low, high, texture width, height
    LightBlock lights[kMaxLights];
};

const char* const kVertexBody = R"(
struct Light { vec4 diffuse, specular, ambient, position, direction, attenuation, spot; };
layout(std140) uniform Constants {
    mat4 uWorldView;
    mat4 uWorldViewProjection;
    mat4 uNormal;
    vec4 uScreen;
    vec4 uScreen2;
    vec4 uGlobalAmbient;
    vec4 uMatDiffuse, uMatAmbient, uMatSpecular, uMatEmissive;
    vec4 uMatPower;
    vec4 uFog;
    vec4 uFogColor;
    vec4 uKey;
    Light uLights[8];
};
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aDiffuse;
layout(location = 3) in vec4 aSpecular;
layout(location = 4) in vec2 aTex;
layout(location = 5) in vec4 aClip;
DIFFUSE_SHADE out vec4 vDiffuse;
SHADE out vec4 vSpecular;
out vec2 vTex;

vec4 Source(int source, vec4 material) {
#if COLOR_VERTEX && HAS_DIFFUSE
    if (source == 1) return aDiffuse;
#endif
#if COLOR_VERTEX && HAS_SPECULAR
    if (source == 2) return aSpecular;
#endif
    return material;
}

// Clip position (Direct3D: z from 0 to w) to GL's, with Direct3D's pixel centres on integers
// and rows counted from the top as GL's rows are here.
vec4 ToGl(vec4 c) {
    return vec4(c.x + uScreen2.z * c.w, -c.y + uScreen2.w * c.w,
                2.0 * (c.z * uScreen2.x + uScreen2.y * c.w) - c.w, c.w);
}

void main() {
#if PRETRANSFORMED
    vec4 clip;
  #if CLIP_POSITIONS
    if (aClip.w != 0.0) {
        clip = aClip;
    } else
  #endif
    {
        float rhw = (aPosition.w > 0.0 && !isinf(aPosition.w)) ? aPosition.w : 1.0;
        float w = 1.0 / rhw;
        clip = vec4((aPosition.x - uScreen.y) / uScreen.x * w,
                    (aPosition.y - uScreen.w) / uScreen.z * w,
                    uScreen2.x != 0.0 ? (aPosition.z - uScreen2.y) / uScreen2.x * w : 0.0, w);
    }
    gl_Position = ToGl(clip);
  #if HAS_DIFFUSE
    vDiffuse = aDiffuse;
  #else
    vDiffuse = vec4(1.0);
  #endif
  #if HAS_SPECULAR
    vSpecular = aSpecular;
  #else
    vSpecular = vec4(0.0, 0.0, 0.0, 1.0);
  #endif
#else
    vec4 p = vec4(aPosition.xyz, 1.0);
    gl_Position = ToGl(uWorldViewProjection * p);
    vec3 camera = (uWorldView * p).xyz;
  #if HAS_DIFFUSE
    vec4 diffuse = aDiffuse;
  #else
    vec4 diffuse = vec4(1.0);
  #endif
  #if HAS_SPECULAR
    vec4 specular = aSpecular;
    float fog = aSpecular.a;
  #else
    vec4 specular = vec4(0.0);
    float fog = 1.0;
  #endif
  #if LIGHTING
    vec3 n = vec3(0.0);
    #if HAS_NORMAL
    n = mat3(uNormal) * aNormal;
      #if NORMALIZE
    if (dot(n, n) > 0.0) n = normalize(n);
      #endif
    #endif
    vec4 cd = Source(DIFFUSE_SOURCE, uMatDiffuse);
    vec4 ca = Source(AMBIENT_SOURCE, uMatAmbient);
    vec4 ce = Source(EMISSIVE_SOURCE, uMatEmissive);
    vec3 amb = uGlobalAmbient.rgb, dif = vec3(0.0), spe = vec3(0.0);
    vec3 toEye = vec3(0.0, 0.0, 1.0);
    #if SPECULAR && LOCAL_VIEWER
    if (dot(camera, camera) > 0.0) toEye = normalize(-camera);
    #endif
    for (int i = 0; i < NUM_LIGHTS; ++i) {
        vec3 toLight;
        float k = 1.0;
        if (uLights[i].position.w == 3.0) {
            toLight = -uLights[i].direction.xyz;
        } else {
            toLight = uLights[i].position.xyz - camera;
            float d = length(toLight);
            if (d > uLights[i].direction.w) continue;
            if (d > 0.0) toLight /= d;
            vec4 a = uLights[i].attenuation;
            k = 1.0 / max(a.x + a.y * d + a.z * d * d, 1e-20);
            if (uLights[i].position.w == 2.0) {
                float rho = -dot(uLights[i].direction.xyz, toLight);
                vec4 s = uLights[i].spot;
                if (rho <= s.y) k = 0.0;
                else if (rho <= s.x) k *= pow((rho - s.y) / (s.x - s.y), a.w);
            }
        }
        amb += k * uLights[i].ambient.rgb;
        float nl = dot(n, toLight);
        if (nl > 0.0) {
            dif += k * nl * uLights[i].diffuse.rgb;
    #if SPECULAR
            vec3 h = toEye + toLight;
            if (dot(h, h) > 0.0) h = normalize(h);
            float nh = dot(n, h);
            if (nh > 0.0) spe += k * pow(nh, uMatPower.x) * uLights[i].specular.rgb;
    #endif
        }
    }
    vDiffuse = vec4(clamp(ce.rgb + ca.rgb * amb + cd.rgb * dif, 0.0, 1.0), clamp(cd.a, 0.0, 1.0));
    #if SPECULAR
    vSpecular.rgb = clamp(Source(SPECULAR_SOURCE, uMatSpecular).rgb * spe, 0.0, 1.0);
    #else
    vSpecular.rgb = vec3(0.0);
    #endif
  #else
    vDiffuse = diffuse;
    vSpecular.rgb = specular.rgb;
  #endif
  #if FOG_MODE != 0
    #if RANGE_FOG
    float d = length(camera);
    #else
    float d = camera.z;
    #endif
    #if FOG_MODE == 3
    fog = uFog.y != uFog.x ? (uFog.y - d) / (uFog.y - uFog.x) : (d < uFog.y ? 1.0 : 0.0);
    #elif FOG_MODE == 1
    fog = exp(-uFog.z * d);
    #else
    fog = exp(-(uFog.z * d) * (uFog.z * d));
    #endif
    if (isnan(fog)) fog = 0.0;
  #endif
    vSpecular.a = clamp(fog, 0.0, 1.0);
#endif
#if HAS_TEX
    vTex = aTex;
#else
    vTex = vec2(0.0);
#endif
}
)";

const char* const kFragmentBody = R"(
struct Light { vec4 diffuse, specular, ambient, position, direction, attenuation, spot; };
layout(std140) uniform Constants {
    mat4 uWorldView;
    mat4 uWorldViewProjection;
    mat4 uNormal;
    vec4 uScreen;
    vec4 uScreen2;
    vec4 uGlobalAmbient;
    vec4 uMatDiffuse, uMatAmbient, uMatSpecular, uMatEmissive;
    vec4 uMatPower;
    vec4 uFog;
    vec4 uFogColor;
    vec4 uKey;
    Light uLights[8];
};
uniform sampler2D uTexture;
DIFFUSE_SHADE in vec4 vDiffuse;
SHADE in vec4 vSpecular;
in vec2 vTex;
out vec4 fragColor;

void main() {
#if TEXTURED
    vec4 t = vec4(texture(uTexture, vTex).rgb, 1.0);
  #if COLOR_KEY
    // The key is tested on the texel nearest to the sample, as a raw 565 value: with nearest
    // filtering the texel sampled, else the one fetched here.
    #if KEY_ON_SAMPLE
    vec3 raw = t.rgb * vec3(31.0, 63.0, 31.0) + 0.5;
    #else
    ivec2 size = ivec2(uKey.zw);
    ivec2 at = ivec2(floor(vTex * uKey.zw));
    at = ((at % size) + size) % size;
    vec3 raw = texelFetch(uTexture, at, 0).rgb * vec3(31.0, 63.0, 31.0) + 0.5;
    #endif
    float value = floor(raw.r) * 2048.0 + floor(raw.g) * 32.0 + floor(raw.b);
    if (value >= uKey.x && value <= uKey.y) discard;
  #endif
#else
    vec4 t = vec4(1.0, 1.0, 1.0, vDiffuse.a);
#endif
    vec4 c = vec4(COLOR_EXPR, ALPHA_EXPR);
#if SPECULAR
    c.rgb = min(c.rgb + vSpecular.rgb, vec3(1.0));
#endif
#if FOG
    c.rgb = mix(uFogColor.rgb, c.rgb, vSpecular.a);
#endif
    fragColor = c;
}
)";

const char* const kBlitVertex = R"(#version 330 core
uniform vec4 uDest;  // x0, y0, x1, y1 in pixels of the destination
uniform vec2 uDestSize;
void main() {
    vec2 corner = vec2((gl_VertexID & 1) != 0 ? uDest.z : uDest.x,
                       (gl_VertexID & 2) != 0 ? uDest.w : uDest.y);
    gl_Position = vec4(corner / uDestSize * 2.0 - 1.0, 0.0, 1.0);
}
)";

// Each destination pixel takes the source pixel the software blit would: nearest, by whole
// pixel steps, skipped outside the source and inside the colour key.
const char* const kBlitFragment = R"(#version 330 core
uniform sampler2D uSource;
uniform vec4 uDestRect;  // left, top, width, height as the caller gave them
uniform vec4 uSrcRect;
uniform vec2 uKey;       // low, high; low > high without a key
out vec4 fragColor;
void main() {
    vec2 p = floor(gl_FragCoord.xy) - uDestRect.xy;
    vec2 s = uSrcRect.xy + floor(p * uSrcRect.zw / uDestRect.zw);
    ivec2 size = textureSize(uSource, 0);
    if (s.x < 0.0 || s.y < 0.0 || s.x >= float(size.x) || s.y >= float(size.y)) discard;
    vec3 c = texelFetch(uSource, ivec2(s), 0).rgb;
    vec3 raw = c * vec3(31.0, 63.0, 31.0) + 0.5;
    float value = floor(raw.r) * 2048.0 + floor(raw.g) * 32.0 + floor(raw.b);
    if (value >= uKey.x && value <= uKey.y) discard;
    fragColor = vec4(c, 1.0);
}
)";

// A 565 surface as the draws sample it: 8 bits a channel, each channel's top bits repeated
// below it, the values llvmpipe's filtering reads a 565 texel as.
const char* const kExpandFragment = R"(#version 330 core
uniform sampler2D uSource;
out vec4 fragColor;
void main() {
    vec3 raw = floor(texelFetch(uSource, ivec2(gl_FragCoord.xy), 0).rgb *
                     vec3(31.0, 63.0, 31.0) + 0.5);
    vec3 top = floor(raw / vec3(4.0, 16.0, 4.0));
    fragColor = vec4((raw * vec3(8.0, 4.0, 8.0) + top) / 255.0, 1.0);
}
)";

GLuint Compile(GLenum kind, const std::string& source) {
    const GLuint s = glCreateShader(kind);
    const char* text = source.c_str();
    glShaderSource(s, 1, &text, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[4096] = {};
        glGetShaderInfoLog(s, sizeof log, nullptr, log);
        throw std::runtime_error(std::string("shader does not compile: ") + log);
    }
    return s;
}

GLuint Link(const std::string& vertex, const std::string& fragment) {
    const GLuint v = Compile(GL_VERTEX_SHADER, vertex), f = Compile(GL_FRAGMENT_SHADER, fragment);
    const GLuint p = glCreateProgram();
    glAttachShader(p, v);
    glAttachShader(p, f);
    glLinkProgram(p);
    glDeleteShader(v);
    glDeleteShader(f);
    GLint ok = 0;
    glGetProgramiv(p, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[4096] = {};
        glGetProgramInfoLog(p, sizeof log, nullptr, log);
        throw std::runtime_error(std::string("shaders do not link: ") + log);
    }
    return p;
}

GLenum PrimitiveMode(int32_t type) {
    switch (type) {
        case D3DPT_POINTLIST:
            return GL_POINTS;
        case D3DPT_LINELIST:
            return GL_LINES;
        case D3DPT_LINESTRIP:
            return GL_LINE_STRIP;
        case D3DPT_TRIANGLELIST:
            return GL_TRIANGLES;
        case D3DPT_TRIANGLESTRIP:
            return GL_TRIANGLE_STRIP;
        default:
            return GL_TRIANGLE_FAN;
    }
}

GLenum BlendFactor(int32_t f) {
    switch (f) {
        case D3DBLEND_ZERO:
            return GL_ZERO;
        case D3DBLEND_ONE:
            return GL_ONE;
        case D3DBLEND_SRCCOLOR:
            return GL_SRC_COLOR;
        case D3DBLEND_INVSRCCOLOR:
            return GL_ONE_MINUS_SRC_COLOR;
        case D3DBLEND_SRCALPHA:
            return GL_SRC_ALPHA;
        case D3DBLEND_INVSRCALPHA:
            return GL_ONE_MINUS_SRC_ALPHA;
        case D3DBLEND_DESTALPHA:
            return GL_DST_ALPHA;
        case D3DBLEND_INVDESTALPHA:
            return GL_ONE_MINUS_DST_ALPHA;
        case D3DBLEND_DESTCOLOR:
            return GL_DST_COLOR;
        case D3DBLEND_INVDESTCOLOR:
            return GL_ONE_MINUS_DST_COLOR;
        case D3DBLEND_SRCALPHASAT:
            return GL_SRC_ALPHA_SATURATE;
        default:
            return GL_ONE;
    }
}

// Stage 0 samples with nearest filtering both ways.
bool NearestOnly(const d3d::DeviceState& s) {
    return s.tss(D3DTSS_MAGFILTER) != D3DTFG_LINEAR && s.tss(D3DTSS_MINFILTER) != D3DTFN_LINEAR;
}

// A stage argument as the shader's expression: the texture, or the diffuse colour.
const char* Argument(int32_t arg, bool alpha) {
    if ((arg & 0xF) == D3DTA_TEXTURE) return alpha ? "t.a" : "t.rgb";
    return alpha ? "vDiffuse.a" : "vDiffuse.rgb";
}

std::string StageExpression(int32_t op, int32_t arg1, int32_t arg2, bool alpha) {
    switch (op) {
        case D3DTOP_SELECTARG1:
            return Argument(arg1, alpha);
        case D3DTOP_SELECTARG2:
            return Argument(arg2, alpha);
        case D3DTOP_MODULATE:
            return std::string(Argument(arg1, alpha)) + " * " + Argument(arg2, alpha);
        default:
            return alpha ? "vDiffuse.a" : "vDiffuse.rgb";
    }
}

void CopyMatrix(float out[16], const D3DMATRIX& m) {
    std::memcpy(out, &m, 64);
}

uint16_t Truncated565(int32_t argb) {
    const uint32_t c = static_cast<uint32_t>(argb);
    return static_cast<uint16_t>(((c >> 19) & 0x1F) << 11 | ((c >> 10) & 0x3F) << 5 |
                                 ((c >> 3) & 0x1F));
}

void ClearColor565(uint16_t p) {
    glClearColor(static_cast<float>(p >> 11) / 31.0f, static_cast<float>((p >> 5) & 63) / 63.0f,
                 static_cast<float>(p & 31) / 31.0f, 1.0f);
}

// A buffer written front to back, its storage renewed when full, so that no write waits for
// a draw still reading an earlier part.
struct StreamBuffer {
    GLenum target = GL_ARRAY_BUFFER;
    GLuint name = 0;
    size_t capacity = 8u << 20, used = 0;

    void Create(GLenum t) {
        target = t;
        glGenBuffers(1, &name);
        glBindBuffer(target, name);
        glBufferData(target, static_cast<GLsizeiptr>(capacity), nullptr, GL_STREAM_DRAW);
    }
    // Binds the buffer and returns the offset the data went to.
    size_t Put(const void* data, size_t n) {
        glBindBuffer(target, name);
        used = (used + 15) & ~size_t{15};
        if (n > capacity) {
            capacity = n * 2;
            glBufferData(target, static_cast<GLsizeiptr>(capacity), nullptr, GL_STREAM_DRAW);
            used = 0;
        } else if (used + n > capacity) {
            glBufferData(target, static_cast<GLsizeiptr>(capacity), nullptr, GL_STREAM_DRAW);
            used = 0;
        }
        void* p = glMapBufferRange(
            target, static_cast<GLintptr>(used), static_cast<GLsizeiptr>(n),
            GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
        std::memcpy(p, data, n);
        glUnmapBuffer(target);
        const size_t at = used;
        used += n;
        return at;
    }
};

}  // namespace

// ---------------------------------------------------------------- the player

struct GlPlayer::Impl {
    struct Image {
        GLuint texture = 0, fbo = 0, fboDepth = 0;
        // The RGBA8 copy the draws sample, made when the surface is first drawn with, and
        // renewed when it is drawn with again after the 565 image changed.
        GLuint expanded = 0, expandedFbo = 0;
        uint64_t version = 0, expandedVersion = 0;
    };
    struct Surface {
        bool exists = false, depth = false, released = false;
        int32_t width = 0, height = 0;
        Image image;
        GLuint depthBuffer = 0;  // depth surfaces
        uint32_t attachedDepth = 0;
        uint32_t back = 0;
        bool hasKey = false;
        DDCOLORKEY key;
    };
    struct Buffer {
        bool exists = false;
        D3DVERTEXBUFFERDESC desc;
        d3d::FvfLayout layout;
        std::vector<std::byte> data;
        std::vector<float> clip;  // x, y, z, w per vertex; w = 0: not kept
        bool optimized = false, locked = false, dirty = true, clipDirty = true, hasClip = false;
        GLuint vbo = 0, clipVbo = 0;
    };
    struct Device {
        bool exists = false;
        d3d::DeviceState state;
        bool constantsDirty = true;
    };

    bool finish = false;
    int32_t displayWidth = 0, displayHeight = 0;
    std::vector<Surface> surfaces;
    std::vector<Buffer> buffers;
    std::vector<Device> devices;
    uint32_t presented = 0;

    GLuint vao = 0, ubo = 0, blitProgram = 0, blitVao = 0, scratch = 0, expandProgram = 0;
    GLint expandDest = -1, expandDestSize = -1;
    GLint blitDest = -1, blitDestSize = -1, blitDestRect = -1, blitSrcRect = -1, blitKey = -1;
    GLuint samplers[2][2] = {};  // [mag linear][min linear]
    StreamBuffer vertexStream, indexStream;
    std::unordered_map<uint64_t, GLuint> programs;
    d3d::VertexPipeline pipeline;
    std::vector<d3d::ProcessedVertex> processed;
    Constants constants{};

    // What GL is set to, so that only changes are sent.
    GLuint boundFbo = ~0u, boundProgram = ~0u, boundTexture = ~0u;
    int32_t viewport[4] = {-1, -1, -1, -1};

    template <typename T>
    T& Slot(std::vector<T>& table, uint32_t id, bool create) {
        if (id == 0 || id >= (1u << 22)) throw TraceError("object id out of range");
        if (table.size() <= id) table.resize(id + 1);
        T& t = table[id];
        if (!create && !t.exists) {
            throw TraceError("object " + std::to_string(id) + " used before it was made");
        }
        return t;
    }
    Surface& Surf(uint32_t id) { return Slot(surfaces, id, false); }
    Device& Dev(uint32_t id) { return Slot(devices, id, false); }
    Buffer& Buf(uint32_t id) { return Slot(buffers, id, false); }

    void BindFbo(GLuint fbo, int32_t w, int32_t h) {
        if (boundFbo != fbo) {
            glBindFramebuffer(GL_FRAMEBUFFER, fbo);
            boundFbo = fbo;
        }
        SetViewport(0, 0, w, h);
    }
    void SetViewport(int32_t x, int32_t y, int32_t w, int32_t h) {
        if (viewport[0] != x || viewport[1] != y || viewport[2] != w || viewport[3] != h) {
            glViewport(x, y, w, h);
            viewport[0] = x, viewport[1] = y, viewport[2] = w, viewport[3] = h;
        }
    }
    void UseProgram(GLuint p) {
        if (boundProgram != p) {
            glUseProgram(p);
            boundProgram = p;
        }
    }
    void BindTexture(GLuint t) {
        if (boundTexture != t) {
            glBindTexture(GL_TEXTURE_2D, t);
            boundTexture = t;
        }
    }
    // The surface's frame buffer, with its attached depth buffer when it has one.
    GLuint Fbo(Surface& s) {
        Image& im = s.image;
        if (im.fbo == 0) {
            glGenFramebuffers(1, &im.fbo);
            glBindFramebuffer(GL_FRAMEBUFFER, im.fbo);
            boundFbo = im.fbo;
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, im.texture,
                                   0);
        }
        const GLuint depth = s.attachedDepth ? Surf(s.attachedDepth).depthBuffer : 0;
        if (im.fboDepth != depth) {
            glBindFramebuffer(GL_FRAMEBUFFER, im.fbo);
            boundFbo = im.fbo;
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
            im.fboDepth = depth;
        }
        return im.fbo;
    }

    // Binds the surface's frame buffer to draw into it: its expanded copy is out of date.
    void Target(Surface& s) {
        BindFbo(Fbo(s), s.width, s.height);
        ++s.image.version;
    }

    // The texture a draw samples the surface from: the RGBA8 copy, brought up to date.
    GLuint Expanded(Surface& s) {
        Image& im = s.image;
        if (im.expanded != 0 && im.expandedVersion == im.version) return im.expanded;
        if (im.expanded == 0) {
            glGenTextures(1, &im.expanded);
            BindTexture(im.expanded);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, s.width, s.height, 0, GL_RGBA,
                         GL_UNSIGNED_BYTE, nullptr);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
            glGenFramebuffers(1, &im.expandedFbo);
            glBindFramebuffer(GL_FRAMEBUFFER, im.expandedFbo);
            boundFbo = im.expandedFbo;
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, im.expanded,
                                   0);
        }
        BindFbo(im.expandedFbo, s.width, s.height);
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glDisable(GL_CULL_FACE);
        glDisable(GL_DITHER);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        UseProgram(expandProgram);
        BindTexture(im.texture);
        glBindSampler(0, 0);
        glUniform4f(expandDest, 0, 0, static_cast<float>(s.width), static_cast<float>(s.height));
        glUniform2f(expandDestSize, static_cast<float>(s.width), static_cast<float>(s.height));
        glBindVertexArray(blitVao);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        glBindVertexArray(vao);
        im.expandedVersion = im.version;
        return im.expanded;
    }

    void MakeSurface(Surface& s, int32_t w, int32_t h, bool depth) {
        s.exists = true;
        s.width = w;
        s.height = h;
        s.depth = depth;
        if (depth) {
            glGenRenderbuffers(1, &s.depthBuffer);
            glBindRenderbuffer(GL_RENDERBUFFER, s.depthBuffer);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, w, h);
            return;
        }
        glGenTextures(1, &s.image.texture);
        BindTexture(s.image.texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB565, w, h, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
                     nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        // New surfaces hold black, as the software surfaces do.
        Target(s);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    void FreeSurface(Surface& s) {
        if (s.image.fbo) glDeleteFramebuffers(1, &s.image.fbo);
        if (s.image.texture) glDeleteTextures(1, &s.image.texture);
        if (s.image.expandedFbo) glDeleteFramebuffers(1, &s.image.expandedFbo);
        if (s.image.expanded) glDeleteTextures(1, &s.image.expanded);
        if (boundFbo == s.image.expandedFbo) boundFbo = ~0u;
        if (boundTexture == s.image.expanded) boundTexture = ~0u;
        if (s.depthBuffer) glDeleteRenderbuffers(1, &s.depthBuffer);
        if (boundFbo == s.image.fbo) boundFbo = ~0u;
        if (boundTexture == s.image.texture) boundTexture = ~0u;
        s.image = Image{};
        s.depthBuffer = 0;
    }

    // Copies src's rectangle (already cut to both surfaces) into dest with the blit shader.
    void BlitQuad(Surface& dest, const RECT& d, Surface& src, const RECT& s, bool keyed) {
        if (d.Right <= d.Left || d.Bottom <= d.Top || s.Right <= s.Left || s.Bottom <= s.Top) {
            return;
        }
        GLuint source = src.image.texture;
        if (&dest == &src) {
            // Reading the surface being drawn is undefined in GL: copy it first.
            if (scratch == 0) glGenTextures(1, &scratch);
            BindTexture(scratch);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB565, src.width, src.height, 0, GL_RGB,
                         GL_UNSIGNED_SHORT_5_6_5, nullptr);
            glCopyImageSubData(src.image.texture, GL_TEXTURE_2D, 0, 0, 0, 0, scratch, GL_TEXTURE_2D,
                               0, 0, 0, 0, src.width, src.height, 1);
            source = scratch;
        }
        Target(dest);
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glDisable(GL_CULL_FACE);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        UseProgram(blitProgram);
        BindTexture(source);
        glBindSampler(0, 0);
        const float x0 = static_cast<float>(std::max(d.Left, 0));
        const float y0 = static_cast<float>(std::max(d.Top, 0));
        const float x1 = static_cast<float>(std::min(d.Right, dest.width));
        const float y1 = static_cast<float>(std::min(d.Bottom, dest.height));
        if (x0 >= x1 || y0 >= y1) return;
        glUniform4f(blitDest, x0, y0, x1, y1);
        glUniform2f(blitDestSize, static_cast<float>(dest.width), static_cast<float>(dest.height));
        glUniform4f(blitDestRect, static_cast<float>(d.Left), static_cast<float>(d.Top),
                    static_cast<float>(d.Right - d.Left), static_cast<float>(d.Bottom - d.Top));
        glUniform4f(blitSrcRect, static_cast<float>(s.Left), static_cast<float>(s.Top),
                    static_cast<float>(s.Right - s.Left), static_cast<float>(s.Bottom - s.Top));
        if (keyed && src.hasKey) {
            glUniform2f(blitKey, static_cast<float>(src.key.low & 0xFFFF),
                        static_cast<float>(src.key.high & 0xFFFF));
        } else {
            glUniform2f(blitKey, 1.0f, 0.0f);
        }
        glBindVertexArray(blitVao);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        glBindVertexArray(vao);
    }

    // ------------------------------------------------ drawing

    uint64_t ProgramKey(const d3d::DeviceState& s, const d3d::FvfLayout& l, bool textured,
                        bool keyed, bool clipPositions, int lights, bool flatDiffuse) {
        uint64_t k = 0;
        int bit = 0;
        auto put = [&](uint64_t v, int bits) {
            k |= v << bit;
            bit += bits;
        };
        const bool pre = l.transformed;
        const bool lighting = !pre && s.on(D3DRENDERSTATE_LIGHTING);
        const int32_t table = s.rs(D3DRENDERSTATE_FOGTABLEMODE);
        const int32_t fogMode =
            pre ? 0 : (table != D3DFOG_NONE ? table : s.rs(D3DRENDERSTATE_FOGVERTEXMODE));
        put(pre, 1);
        put(l.diffuse >= 0, 1);
        put(l.specular >= 0, 1);
        put(l.normal >= 0, 1);
        put(l.tex0 >= 0, 1);
        put(lighting, 1);
        put(lighting ? static_cast<uint64_t>(lights) : 0, 4);
        put(static_cast<uint64_t>(fogMode & 3), 2);
        put(table == D3DFOG_NONE && s.on(D3DRENDERSTATE_RANGEFOGENABLE), 1);
        put(s.on(D3DRENDERSTATE_FOGENABLE), 1);
        put(s.on(D3DRENDERSTATE_SPECULARENABLE), 1);
        put(textured, 1);
        put(keyed, 1);
        put(keyed && NearestOnly(s), 1);
        put(static_cast<uint64_t>(s.tss(D3DTSS_COLOROP) & 7), 3);
        put(static_cast<uint64_t>(s.tss(D3DTSS_COLORARG1) & 3), 2);
        put(static_cast<uint64_t>(s.tss(D3DTSS_COLORARG2) & 3), 2);
        put(static_cast<uint64_t>(s.tss(D3DTSS_ALPHAOP) & 7), 3);
        put(static_cast<uint64_t>(s.tss(D3DTSS_ALPHAARG1) & 3), 2);
        put(static_cast<uint64_t>(s.tss(D3DTSS_ALPHAARG2) & 3), 2);
        put(s.rs(D3DRENDERSTATE_SHADEMODE) == D3DSHADE_FLAT, 1);
        put(flatDiffuse, 1);
        put(clipPositions, 1);
        put(s.on(D3DRENDERSTATE_COLORVERTEX), 1);
        put(s.on(D3DRENDERSTATE_NORMALIZENORMALS), 1);
        put(s.on(D3DRENDERSTATE_LOCALVIEWER), 1);
        put(static_cast<uint64_t>(s.rs(D3DRENDERSTATE_DIFFUSEMATERIALSOURCE) & 3), 2);
        put(static_cast<uint64_t>(s.rs(D3DRENDERSTATE_SPECULARMATERIALSOURCE) & 3), 2);
        put(static_cast<uint64_t>(s.rs(D3DRENDERSTATE_AMBIENTMATERIALSOURCE) & 3), 2);
        put(static_cast<uint64_t>(s.rs(D3DRENDERSTATE_EMISSIVEMATERIALSOURCE) & 3), 2);
        return k;
    }

    GLuint Program(uint64_t key, const d3d::DeviceState& s, const d3d::FvfLayout& l, bool textured,
                   bool keyed, bool clipPositions, int lights, bool flatDiffuse) {
        if (auto it = programs.find(key); it != programs.end()) return it->second;
        const bool pre = l.transformed;
        const int32_t table = s.rs(D3DRENDERSTATE_FOGTABLEMODE);
        const int32_t fogMode =
            pre ? 0 : (table != D3DFOG_NONE ? table : s.rs(D3DRENDERSTATE_FOGVERTEXMODE));
        std::string defs = "#version 330 core\n";
        auto def = [&](const char* name, long value) {
            defs += "#define " + std::string(name) + " " + std::to_string(value) + "\n";
        };
        def("PRETRANSFORMED", pre);
        def("HAS_DIFFUSE", l.diffuse >= 0);
        def("HAS_SPECULAR", l.specular >= 0);
        def("HAS_NORMAL", l.normal >= 0);
        def("HAS_TEX", l.tex0 >= 0);
        def("LIGHTING", !pre && s.on(D3DRENDERSTATE_LIGHTING));
        def("NUM_LIGHTS", lights);
        def("FOG_MODE", fogMode);
        def("RANGE_FOG", table == D3DFOG_NONE && s.on(D3DRENDERSTATE_RANGEFOGENABLE));
        def("FOG", s.on(D3DRENDERSTATE_FOGENABLE));
        def("SPECULAR", s.on(D3DRENDERSTATE_SPECULARENABLE));
        def("TEXTURED", textured);
        def("COLOR_KEY", keyed);
        def("KEY_ON_SAMPLE", keyed && NearestOnly(s));
        def("CLIP_POSITIONS", clipPositions);
        def("COLOR_VERTEX", s.on(D3DRENDERSTATE_COLORVERTEX));
        def("NORMALIZE", s.on(D3DRENDERSTATE_NORMALIZENORMALS));
        def("LOCAL_VIEWER", s.on(D3DRENDERSTATE_LOCALVIEWER));
        def("DIFFUSE_SOURCE", s.rs(D3DRENDERSTATE_DIFFUSEMATERIALSOURCE));
        def("SPECULAR_SOURCE", s.rs(D3DRENDERSTATE_SPECULARMATERIALSOURCE));
        def("AMBIENT_SOURCE", s.rs(D3DRENDERSTATE_AMBIENTMATERIALSOURCE));
        def("EMISSIVE_SOURCE", s.rs(D3DRENDERSTATE_EMISSIVEMATERIALSOURCE));
        const bool flatMode = s.rs(D3DRENDERSTATE_SHADEMODE) == D3DSHADE_FLAT;
        defs += std::string("#define SHADE ") + (flatMode ? "flat" : "") + "\n";
        defs +=
            std::string("#define DIFFUSE_SHADE ") + (flatMode || flatDiffuse ? "flat" : "") + "\n";
        defs += "#define COLOR_EXPR " +
                StageExpression(s.tss(D3DTSS_COLOROP), s.tss(D3DTSS_COLORARG1),
                                s.tss(D3DTSS_COLORARG2), false) +
                "\n";
        defs += "#define ALPHA_EXPR " +
                StageExpression(s.tss(D3DTSS_ALPHAOP), s.tss(D3DTSS_ALPHAARG1),
                                s.tss(D3DTSS_ALPHAARG2), true) +
                "\n";
        const GLuint p = Link(defs + kVertexBody, defs + kFragmentBody);
        glUniformBlockBinding(p, glGetUniformBlockIndex(p, "Constants"), 0);
        UseProgram(p);
        glUniform1i(glGetUniformLocation(p, "uTexture"), 0);
        programs.emplace(key, p);
        return p;
    }

    // An unlit draw of a few vertices (the full-screen layers) whose corners share one diffuse
    // colour takes it flat: the same pixels, nothing to interpolate. (Its inputs without
    // perspective correction where the corners share one w would be cheaper too, but llvmpipe
    // then computes the texture coordinates a little otherwise, and the frames change.)
    static bool OneColour(const d3d::FvfLayout& l, bool lighting, const void* data, int32_t count) {
        if (lighting || l.diffuse < 0 || data == nullptr || count < 2 || count > 8) return false;
        const auto* bytes = static_cast<const std::byte*>(data);
        const size_t stride = static_cast<size_t>(l.stride), at = static_cast<size_t>(l.diffuse);
        for (int32_t i = 1; i < count; ++i) {
            if (std::memcmp(bytes + static_cast<size_t>(i) * stride + at, bytes + at, 4) != 0) {
                return false;
            }
        }
        return true;
    }

    // Everything one draw needs from the device's state: program, constants, GL state.
    void Prepare(Device& dev, const d3d::FvfLayout& layout, bool clipPositions,
                 const void* vertices = nullptr, int32_t vertexCount = 0) {
        d3d::DeviceState& s = dev.state;
        if (targetId == 0) throw TraceError("drawing without a render target");
        Surface* target = &Surf(targetId);
        Surface* texture = textureId ? &Surf(textureId) : nullptr;
        const bool hasTexture = texture && !texture->released;
        const int32_t cop = s.tss(D3DTSS_COLOROP);
        const bool usesTexture =
            (cop == D3DTOP_SELECTARG1 && (s.tss(D3DTSS_COLORARG1) & 0xF) == D3DTA_TEXTURE) ||
            (cop == D3DTOP_SELECTARG2 && (s.tss(D3DTSS_COLORARG2) & 0xF) == D3DTA_TEXTURE) ||
            (cop == D3DTOP_MODULATE && ((s.tss(D3DTSS_COLORARG1) & 0xF) == D3DTA_TEXTURE ||
                                        (s.tss(D3DTSS_COLORARG2) & 0xF) == D3DTA_TEXTURE));
        const bool textured = hasTexture && usesTexture;
        // Brought up to date before the target is bound: that may draw.
        const GLuint sampled = textured ? Expanded(*texture) : 0;
        Target(*target);
        const D3DVIEWPORT7& vp = s.viewport;
        SetViewport(vp.lX, vp.lY, vp.lWidth, vp.lHeight);

        const bool keyed = textured && s.on(D3DRENDERSTATE_COLORKEYENABLE) && texture->hasKey &&
                           (texture->key.low & 0xFFFF) <= (texture->key.high & 0xFFFF);
        const bool lighting = !layout.transformed && s.on(D3DRENDERSTATE_LIGHTING);
        int lights = 0;
        if (lighting) {
            for (const d3d::LightSlot& l : s.lights) lights += l.set && l.enabled;
            lights = std::min(lights, kMaxLights);
        }
        if (textured && constantsTexture != textureId) dev.constantsDirty = true;
        if (dev.constantsDirty) {
            constantsTexture = textured ? textureId : constantsTexture;
            d3d::PrepareVertexPipeline(s, lighting, pipeline);
            Constants& c = constants;
            CopyMatrix(c.worldView, pipeline.worldView);
            CopyMatrix(c.worldViewProjection, pipeline.worldViewProjection);
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j) c.normal[i * 4 + j] = pipeline.normalMatrix[i][j];
            }
            const d3d::ScreenMap& m = pipeline.screen;
            c.screen[0] = m.scaleX, c.screen[1] = m.offsetX;
            c.screen[2] = m.scaleY, c.screen[3] = m.offsetY;
            c.screen2[0] = m.scaleZ, c.screen2[1] = m.offsetZ;
            // Half a pixel: Direct3D samples pixels at whole coordinates, GL at halves.
            c.screen2[2] = 1.0f / static_cast<float>(vp.lWidth);
            c.screen2[3] = 1.0f / static_cast<float>(vp.lHeight);
            std::copy(pipeline.globalAmbient, pipeline.globalAmbient + 3, c.globalAmbient);
            auto colour = [](float out[4], const D3DCOLORVALUE& v) {
                out[0] = v.r, out[1] = v.g, out[2] = v.b, out[3] = v.a;
            };
            colour(c.matDiffuse, s.material.diffuse);
            colour(c.matAmbient, s.material.ambient);
            colour(c.matSpecular, s.material.specular);
            colour(c.matEmissive, s.material.emissive);
            c.matPower[0] = s.material.power;
            c.fog[0] = pipeline.fogStart, c.fog[1] = pipeline.fogEnd,
            c.fog[2] = pipeline.fogDensity;
            const uint32_t fc = static_cast<uint32_t>(s.rs(D3DRENDERSTATE_FOGCOLOR));
            c.fogColor[0] = static_cast<float>((fc >> 16) & 0xFF) / 255.0f;
            c.fogColor[1] = static_cast<float>((fc >> 8) & 0xFF) / 255.0f;
            c.fogColor[2] = static_cast<float>(fc & 0xFF) / 255.0f;
            if (keyed) {
                c.key[0] = static_cast<float>(texture->key.low & 0xFFFF);
                c.key[1] = static_cast<float>(texture->key.high & 0xFFFF);
            }
            if (textured) {
                c.key[2] = static_cast<float>(texture->width);
                c.key[3] = static_cast<float>(texture->height);
            }
            const int n = std::min<int>(static_cast<int>(pipeline.lights.size()), kMaxLights);
            for (int i = 0; i < n; ++i) {
                const d3d::PreparedLight& q = pipeline.lights[static_cast<size_t>(i)];
                LightBlock& b = c.lights[i];
                std::copy(q.diffuse, q.diffuse + 3, b.diffuse);
                std::copy(q.specular, q.specular + 3, b.specular);
                std::copy(q.ambient, q.ambient + 3, b.ambient);
                std::copy(q.position, q.position + 3, b.position);
                b.position[3] = static_cast<float>(q.type);
                std::copy(q.direction, q.direction + 3, b.direction);
                b.direction[3] = q.range;
                b.attenuation[0] = q.att0, b.attenuation[1] = q.att1, b.attenuation[2] = q.att2;
                b.attenuation[3] = q.falloff;
                b.spot[0] = q.cosHalfTheta, b.spot[1] = q.cosHalfPhi;
            }
            glBindBuffer(GL_UNIFORM_BUFFER, ubo);
            glBufferData(GL_UNIFORM_BUFFER, sizeof c, &c, GL_STREAM_DRAW);
            dev.constantsDirty = false;
        }
        const bool flatDiffuse = OneColour(layout, lighting, vertices, vertexCount);
        const uint64_t key =
            ProgramKey(s, layout, textured, keyed, clipPositions, lights, flatDiffuse);
        UseProgram(Program(key, s, layout, textured, keyed, clipPositions, lights, flatDiffuse));

        if (textured) {
            BindTexture(sampled);
            const bool mag = s.tss(D3DTSS_MAGFILTER) == D3DTFG_LINEAR;
            const bool min = s.tss(D3DTSS_MINFILTER) == D3DTFN_LINEAR;
            glBindSampler(0, samplers[mag][min]);
        }

        // Fixed-function state.
        const bool depthOn = s.on(D3DRENDERSTATE_ZENABLE) && target->attachedDepth != 0;
        if (depthOn) {
            glEnable(GL_DEPTH_TEST);
            glDepthFunc(GL_NEVER + static_cast<GLenum>(s.rs(D3DRENDERSTATE_ZFUNC) - 1));
            glDepthMask(s.on(D3DRENDERSTATE_ZWRITEENABLE) ? GL_TRUE : GL_FALSE);
        } else {
            glDisable(GL_DEPTH_TEST);
        }
        if (s.on(D3DRENDERSTATE_ALPHABLENDENABLE)) {
            glEnable(GL_BLEND);
            int32_t src = s.rs(D3DRENDERSTATE_SRCBLEND), dst = s.rs(D3DRENDERSTATE_DESTBLEND);
            if (src == D3DBLEND_BOTHSRCALPHA) src = D3DBLEND_SRCALPHA, dst = D3DBLEND_INVSRCALPHA;
            if (src == D3DBLEND_BOTHINVSRCALPHA)
                src = D3DBLEND_INVSRCALPHA, dst = D3DBLEND_SRCALPHA;
            glBlendFunc(BlendFactor(src), BlendFactor(dst));
        } else {
            glDisable(GL_BLEND);
        }
        // Rows run downwards here as on the device's surfaces, which mirrors the winding.
        const int32_t cull = s.rs(D3DRENDERSTATE_CULLMODE);
        if (cull == D3DCULL_NONE) {
            glDisable(GL_CULL_FACE);
        } else {
            glEnable(GL_CULL_FACE);
            glCullFace(cull == D3DCULL_CCW ? GL_BACK : GL_FRONT);
        }
        const int32_t fill = s.rs(D3DRENDERSTATE_FILLMODE);
        glPolygonMode(GL_FRONT_AND_BACK, fill == D3DFILL_WIREFRAME ? GL_LINE
                                         : fill == D3DFILL_POINT   ? GL_POINT
                                                                   : GL_FILL);
        if (s.on(D3DRENDERSTATE_DITHERENABLE)) {
            glEnable(GL_DITHER);
        } else {
            glDisable(GL_DITHER);
        }
        glDisable(GL_SCISSOR_TEST);
    }

    void Attributes(const d3d::FvfLayout& l, size_t base, GLuint clipBuffer) {
        const GLsizei stride = l.stride;
        auto at = [&](int32_t offset) {
            return reinterpret_cast<const void*>(base + static_cast<size_t>(offset));
        };
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, l.transformed ? 4 : 3, GL_FLOAT, GL_FALSE, stride, at(0));
        if (l.normal >= 0) {
            glEnableVertexAttribArray(1);
            glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, at(l.normal));
        } else {
            glDisableVertexAttribArray(1);
        }
        if (l.diffuse >= 0) {
            glEnableVertexAttribArray(2);
            glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(l.diffuse));
        } else {
            glDisableVertexAttribArray(2);
        }
        if (l.specular >= 0) {
            glEnableVertexAttribArray(3);
            glVertexAttribPointer(3, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(l.specular));
        } else {
            glDisableVertexAttribArray(3);
        }
        if (l.tex0 >= 0) {
            glEnableVertexAttribArray(4);
            glVertexAttribPointer(4, std::min(l.tex0Size, 2), GL_FLOAT, GL_FALSE, stride,
                                  at(l.tex0));
        } else {
            glDisableVertexAttribArray(4);
        }
        if (clipBuffer != 0) {
            glBindBuffer(GL_ARRAY_BUFFER, clipBuffer);
            glEnableVertexAttribArray(5);
            glVertexAttribPointer(5, 4, GL_FLOAT, GL_FALSE, 16, nullptr);
        } else {
            glDisableVertexAttribArray(5);
        }
    }

    void Submit(int32_t type, int32_t count, const uint16_t* indices, int32_t indexCount,
                int32_t baseVertex) {
        const GLenum mode = PrimitiveMode(type);
        if (indices) {
            if (indexCount <= 0) return;
            const size_t at = indexStream.Put(indices, static_cast<size_t>(indexCount) * 2);
            glDrawElementsBaseVertex(mode, indexCount, GL_UNSIGNED_SHORT,
                                     reinterpret_cast<const void*>(at), baseVertex);
        } else if (count > 0) {
            glDrawArrays(mode, baseVertex, count);
        }
    }

    uint32_t targetId = 0, textureId = 0, constantsTexture = 0;
};

GlPlayer::GlPlayer(GlContext&, bool finishFrames) : impl_(std::make_unique<Impl>()) {
    Impl& m = *impl_;
    m.finish = finishFrames;
    glGenVertexArrays(1, &m.vao);
    glGenVertexArrays(1, &m.blitVao);
    glBindVertexArray(m.vao);
    glGenBuffers(1, &m.ubo);
    glBindBufferBase(GL_UNIFORM_BUFFER, 0, m.ubo);
    m.vertexStream.Create(GL_ARRAY_BUFFER);
    m.indexStream.Create(GL_ELEMENT_ARRAY_BUFFER);
    m.blitProgram = Link(kBlitVertex, kBlitFragment);
    m.UseProgram(m.blitProgram);
    glUniform1i(glGetUniformLocation(m.blitProgram, "uSource"), 0);
    m.blitDest = glGetUniformLocation(m.blitProgram, "uDest");
    m.blitDestSize = glGetUniformLocation(m.blitProgram, "uDestSize");
    m.blitDestRect = glGetUniformLocation(m.blitProgram, "uDestRect");
    m.blitSrcRect = glGetUniformLocation(m.blitProgram, "uSrcRect");
    m.blitKey = glGetUniformLocation(m.blitProgram, "uKey");
    m.expandProgram = Link(kBlitVertex, kExpandFragment);
    m.UseProgram(m.expandProgram);
    glUniform1i(glGetUniformLocation(m.expandProgram, "uSource"), 0);
    m.expandDest = glGetUniformLocation(m.expandProgram, "uDest");
    m.expandDestSize = glGetUniformLocation(m.expandProgram, "uDestSize");
    for (int mag = 0; mag < 2; ++mag) {
        for (int min = 0; min < 2; ++min) {
            GLuint& s = m.samplers[mag][min];
            glGenSamplers(1, &s);
            glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, mag ? GL_LINEAR : GL_NEAREST);
            glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, min ? GL_LINEAR : GL_NEAREST);
            glSamplerParameteri(s, GL_TEXTURE_WRAP_S, GL_REPEAT);
            glSamplerParameteri(s, GL_TEXTURE_WRAP_T, GL_REPEAT);
        }
    }
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
    glPixelStorei(GL_PACK_ALIGNMENT, 2);
    glActiveTexture(GL_TEXTURE0);
    if (glGetError() != GL_NO_ERROR) throw std::runtime_error("OpenGL set-up failed");
}

GlPlayer::~GlPlayer() {
    Impl& m = *impl_;
    glFinish();
    for (auto& s : m.surfaces) m.FreeSurface(s);
    for (auto& b : m.buffers) {
        if (b.vbo) glDeleteBuffers(1, &b.vbo);
        if (b.clipVbo) glDeleteBuffers(1, &b.clipVbo);
    }
    for (auto& [key, p] : m.programs) glDeleteProgram(p);
    glDeleteProgram(m.blitProgram);
    glDeleteProgram(m.expandProgram);
    for (auto& row : m.samplers) glDeleteSamplers(2, row);
    glDeleteBuffers(1, &m.ubo);
    glDeleteBuffers(1, &m.vertexStream.name);
    glDeleteBuffers(1, &m.indexStream.name);
    if (m.scratch) glDeleteTextures(1, &m.scratch);
    glBindVertexArray(0);
    glDeleteVertexArrays(1, &m.vao);
    glDeleteVertexArrays(1, &m.blitVao);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void GlPlayer::CooperativeLevel(int32_t) {}

void GlPlayer::DisplayMode(int32_t width, int32_t height, int32_t) {
    impl_->displayWidth = width;
    impl_->displayHeight = height;
}

void GlPlayer::CreateSurface(uint32_t id, const DDSURFACEDESC2& desc) {
    Impl& m = *impl_;
    Impl::Surface& s = m.Slot(m.surfaces, id, true);
    if (s.exists) m.FreeSurface(s);
    s = Impl::Surface{};
    const bool primary = (desc.ddsCaps.lCaps & DDSCAPS_PRIMARYSURFACE) != 0;
    const int32_t w = primary ? m.displayWidth : desc.lWidth;
    const int32_t h = primary ? m.displayHeight : desc.lHeight;
    if (w <= 0 || h <= 0 || w > 8192 || h > 8192) {
        throw TraceError("surface " + std::to_string(id) + " of no usable size");
    }
    m.MakeSurface(s, w, h, (desc.ddsCaps.lCaps & DDSCAPS_ZBUFFER) != 0);
    if ((desc.lFlags & DDSD_CKSRCBLT) != 0) {
        s.hasKey = true;
        s.key = desc.ddckCKSrcBlt;
    }
}

void GlPlayer::BackBuffer(uint32_t primary, uint32_t back) {
    Impl& m = *impl_;
    const int32_t w = m.Surf(primary).width, h = m.Surf(primary).height;
    Impl::Surface& b = m.Slot(m.surfaces, back, true);
    if (b.exists) m.FreeSurface(b);
    b = Impl::Surface{};
    m.MakeSurface(b, w, h, false);
    m.Surf(primary).back = back;
}

void GlPlayer::AttachDepth(uint32_t target, uint32_t depth) {
    Impl& m = *impl_;
    m.Surf(depth);
    m.Surf(target).attachedDepth = depth;
}

void GlPlayer::SurfacePixels(uint32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                             const uint16_t* pixels) {
    Impl& m = *impl_;
    Impl::Surface& s = m.Surf(id);
    if (s.depth) return;  // depth as it was when recording began; the next Clear sets it
    if (s.released || x < 0 || y < 0 || width > s.width - x || height > s.height - y) {
        throw TraceError("pixels outside surface " + std::to_string(id));
    }
    m.BindTexture(s.image.texture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, pixels);
    ++s.image.version;
}

void GlPlayer::ReleaseSurface(uint32_t id) {
    Impl& m = *impl_;
    Impl::Surface& s = m.Surf(id);
    if (m.targetId == id) m.targetId = 0;
    if (m.textureId == id) m.textureId = 0;
    if (m.constantsTexture == id) m.constantsTexture = 0;
    m.FreeSurface(s);
    s.released = true;
}

void GlPlayer::SetColorKey(uint32_t id, int32_t flags, const DDCOLORKEY& key) {
    Impl::Surface& s = impl_->Surf(id);
    if ((flags & DDCKEY_SRCBLT) != 0) {
        s.hasKey = true;
        s.key = key;
        if (impl_->constantsTexture == id) impl_->constantsTexture = 0;
    }
}

void GlPlayer::Blt(uint32_t dest, const RECT* destRect, uint32_t src, const RECT* srcRect,
                   int32_t flags) {
    Impl& m = *impl_;
    Impl::Surface& d = m.Surf(dest);
    Impl::Surface& s = m.Surf(src);
    const RECT dr = destRect ? *destRect : RECT{0, 0, d.width, d.height};
    const RECT sr = srcRect ? *srcRect : RECT{0, 0, s.width, s.height};
    m.BlitQuad(d, dr, s, sr, (flags & DDBLT_KEYSRC) != 0);
}

void GlPlayer::BltFast(uint32_t dest, int32_t x, int32_t y, uint32_t src, const RECT& srcRect,
                       int32_t flags) {
    Impl& m = *impl_;
    Impl::Surface& d = m.Surf(dest);
    Impl::Surface& s = m.Surf(src);
    // The same cutting as the software blit: the source to its surface, then to the target.
    RECT r = srcRect;
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    if (r.Left < 0) x -= r.Left, r.Left = 0;
    if (r.Top < 0) y -= r.Top, r.Top = 0;
    r.Right = std::min(r.Right, s.width);
    r.Bottom = std::min(r.Bottom, s.height);
    if (x < 0) r.Left -= x, x = 0;
    if (y < 0) r.Top -= y, y = 0;
    r.Right = std::min(r.Right, r.Left + d.width - x);
    r.Bottom = std::min(r.Bottom, r.Top + d.height - y);
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    const RECT dr{x, y, x + r.Right - r.Left, y + r.Bottom - r.Top};
    m.BlitQuad(d, dr, s, r, (flags & DDBLTFAST_SRCCOLORKEY) != 0);
}

void GlPlayer::ColorFill(uint32_t dest, const RECT* rect, int32_t color) {
    Impl& m = *impl_;
    Impl::Surface& d = m.Surf(dest);
    const RECT r = rect ? *rect : RECT{0, 0, d.width, d.height};
    const int32_t x0 = std::max(r.Left, 0), y0 = std::max(r.Top, 0);
    const int32_t x1 = std::min(r.Right, d.width), y1 = std::min(r.Bottom, d.height);
    if (x0 >= x1 || y0 >= y1) return;
    if (d.depth) return;  // depth surfaces are cleared through the device
    m.Target(d);
    glEnable(GL_SCISSOR_TEST);
    glScissor(x0, y0, x1 - x0, y1 - y0);
    ClearColor565(static_cast<uint16_t>(color));
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

void GlPlayer::StretchBlt(uint32_t dest, int32_t x, int32_t y, int32_t width, int32_t height,
                          uint32_t src, int32_t srcX, int32_t srcY, int32_t srcWidth,
                          int32_t srcHeight) {
    Impl& m = *impl_;
    Impl::Surface& d = m.Surf(dest);
    Impl::Surface& s = m.Surf(src);
    // Drawn as a quad rather than glBlitFramebuffer: GDI picks the source pixel by whole steps
    // from the rectangle's corner, where a GL blit samples pixel centres, and the blur trail
    // feeds each capture back into the next, so the offset would grow.
    if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return;
    m.BlitQuad(d, RECT{x, y, x + width, y + height}, s,
               RECT{srcX, srcY, srcX + srcWidth, srcY + srcHeight}, false);
}

void GlPlayer::Flip(uint32_t primary, uint32_t override) {
    Impl& m = *impl_;
    Impl::Surface& p = m.Surf(primary);
    const uint32_t backId = override ? override : p.back;
    if (backId == 0) throw TraceError("Flip of a surface without a back buffer");
    Impl::Surface& b = m.Surf(backId);
    std::swap(p.image, b.image);
    m.presented = primary;
    if (m.finish) glFinish();
}

void GlPlayer::PresentedFrame(std::vector<uint16_t>& pixels, int& width, int& height) {
    Impl& m = *impl_;
    if (m.presented == 0) throw TraceError("no frame presented yet");
    Impl::Surface& p = m.Surf(m.presented);
    width = p.width;
    height = p.height;
    pixels.resize(static_cast<size_t>(width) * height);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m.Fbo(p));
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, pixels.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    m.boundFbo = ~0u;
}

void GlPlayer::CreateDevice(uint32_t id, uint32_t target) {
    Impl& m = *impl_;
    Impl::Surface& t = m.Surf(target);
    Impl::Device& d = m.Slot(m.devices, id, true);
    d = Impl::Device{};
    d.exists = true;
    d3d::ResetDeviceState(d.state, t.attachedDepth != 0);
    d.state.viewport.lWidth = t.width;
    d.state.viewport.lHeight = t.height;
    m.targetId = target;
    d.state.inScene = false;
}

void GlPlayer::SetRenderTarget(uint32_t device, uint32_t target, int32_t) {
    Impl& m = *impl_;
    Impl::Device& d = m.Dev(device);
    Impl::Surface& t = m.Surf(target);
    m.targetId = target;
    d.state.viewport = D3DVIEWPORT7{};
    d.state.viewport.lWidth = t.width;
    d.state.viewport.lHeight = t.height;
    d.constantsDirty = true;
}

void GlPlayer::BeginScene(uint32_t device) {
    impl_->Dev(device).state.inScene = true;
}

void GlPlayer::EndScene(uint32_t device) {
    impl_->Dev(device).state.inScene = false;
}

void GlPlayer::Clear(uint32_t device, int32_t count, const D3DRECT* rects, int32_t flags,
                     int32_t color, float z) {
    Impl& m = *impl_;
    Impl::Device& d = m.Dev(device);
    if (m.targetId == 0) throw TraceError("Clear without a render target");
    Impl::Surface* t = &m.Surf(m.targetId);
    m.Target(*t);
    GLbitfield bits = 0;
    if ((flags & D3DCLEAR_TARGET) != 0) {
        bits |= GL_COLOR_BUFFER_BIT;
        ClearColor565(Truncated565(color));
    }
    if ((flags & D3DCLEAR_ZBUFFER) != 0 && t->attachedDepth != 0) {
        bits |= GL_DEPTH_BUFFER_BIT;
        glDepthMask(GL_TRUE);
        glClearDepth(std::clamp(z, 0.0f, 1.0f));
    }
    if (bits == 0) return;
    const D3DVIEWPORT7& vp = d.state.viewport;
    const D3DRECT whole{vp.lX, vp.lY, vp.lX + vp.lWidth, vp.lY + vp.lHeight};
    glEnable(GL_SCISSOR_TEST);
    for (int32_t i = 0; i < std::max(count, 1); ++i) {
        const D3DRECT& r = count == 0 ? whole : rects[i];
        const int32_t x1 = std::max({r.x1, whole.x1, 0}), y1 = std::max({r.y1, whole.y1, 0});
        const int32_t x2 = std::min({r.x2, whole.x2, t->width});
        const int32_t y2 = std::min({r.y2, whole.y2, t->height});
        if (x1 >= x2 || y1 >= y2) continue;
        glScissor(x1, y1, x2 - x1, y2 - y1);
        glClear(bits);
    }
    glDisable(GL_SCISSOR_TEST);
}

void GlPlayer::RenderState(uint32_t device, int32_t state, int32_t value) {
    Impl::Device& d = impl_->Dev(device);
    if (state < 0 || state >= d3d::kRenderStateCount) throw TraceError("render state number");
    d.state.renderStates[static_cast<size_t>(state)] = value;
    d.constantsDirty = true;
}

void GlPlayer::StageState(uint32_t device, int32_t stage, int32_t type, int32_t value) {
    Impl::Device& d = impl_->Dev(device);
    if (stage < 0 || stage >= d3d::kStageCount || type < 0 || type >= d3d::kStageStateCount) {
        throw TraceError("texture stage state number");
    }
    d.state.stageStates[static_cast<size_t>(stage)][static_cast<size_t>(type)] = value;
}

void GlPlayer::SetTexture(uint32_t device, int32_t stage, uint32_t surface) {
    Impl& m = *impl_;
    m.Dev(device);
    if (stage != 0) return;
    if (surface) m.Surf(surface);
    m.textureId = surface;
}

void GlPlayer::SetTransform(uint32_t device, int32_t type, const D3DMATRIX& matrix, bool multiply) {
    Impl::Device& d = impl_->Dev(device);
    D3DMATRIX* slot = type == D3DTRANSFORMSTATE_WORLD  ? &d.state.world
                      : type == D3DTRANSFORMSTATE_VIEW ? &d.state.view
                      : type == D3DTRANSFORMSTATE_PROJECTION
                          ? &d.state.projection
                          : throw TraceError("transform type " + std::to_string(type));
    if (multiply) {
        D3DMATRIX r;
        for (int i = 1; i <= 4; ++i) {
            for (int j = 1; j <= 4; ++j) {
                float sum = 0;
                for (int k = 1; k <= 4; ++k) sum += matrix.at(i, k) * slot->at(k, j);
                r.at(i, j) = sum;
            }
        }
        *slot = r;
    } else {
        *slot = matrix;
    }
    d.constantsDirty = true;
}

void GlPlayer::SetMaterial(uint32_t device, const D3DMATERIAL7& material) {
    Impl::Device& d = impl_->Dev(device);
    d.state.material = material;
    d.constantsDirty = true;
}

void GlPlayer::SetLight(uint32_t device, int32_t index, const D3DLIGHT7& light) {
    Impl::Device& d = impl_->Dev(device);
    if (index < 0 || index >= d3d::kMaxLights) throw TraceError("light index");
    d3d::StoreLight(d.state, index, light);
    d.constantsDirty = true;
}

void GlPlayer::LightEnable(uint32_t device, int32_t index, bool enable) {
    Impl::Device& d = impl_->Dev(device);
    if (index < 0 || index >= d3d::kMaxLights) throw TraceError("light index");
    d3d::EnableLight(d.state, index, enable);
    d.constantsDirty = true;
}

void GlPlayer::SetViewport(uint32_t device, const D3DVIEWPORT7& viewport) {
    Impl::Device& d = impl_->Dev(device);
    d.state.viewport = viewport;
    d.constantsDirty = true;
}

void GlPlayer::Draw(uint32_t device, const DrawCall& c) {
    Impl& m = *impl_;
    Impl::Device& d = m.Dev(device);
    const d3d::FvfLayout layout = d3d::ParseFvf(c.fvf);
    if (c.vertexCount <= 0) return;
    m.Prepare(d, layout, false, c.vertices, c.vertexCount);
    const size_t at = m.vertexStream.Put(
        c.vertices, static_cast<size_t>(c.vertexCount) * static_cast<size_t>(layout.stride));
    m.Attributes(layout, at, 0);
    m.Submit(c.type, c.vertexCount, c.indices, c.indexCount, 0);
}

void GlPlayer::DrawVB(uint32_t device, const DrawVBCall& c) {
    Impl& m = *impl_;
    Impl::Device& d = m.Dev(device);
    Impl::Buffer& b = m.Buf(c.buffer);
    if (c.numVertices <= 0) return;
    if (c.startVertex < 0 || c.numVertices > b.desc.lNumVertices - c.startVertex) {
        throw TraceError("vertex range outside buffer " + std::to_string(c.buffer));
    }
    if (b.dirty) {
        glBindBuffer(GL_ARRAY_BUFFER, b.vbo);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(b.data.size()), b.data.data(),
                     GL_DYNAMIC_DRAW);
        b.dirty = false;
    }
    if (b.hasClip && b.clipDirty) {
        glBindBuffer(GL_ARRAY_BUFFER, b.clipVbo);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(b.clip.size() * 4), b.clip.data(),
                     GL_DYNAMIC_DRAW);
        b.clipDirty = false;
    }
    m.Prepare(d, b.layout, b.hasClip);
    glBindBuffer(GL_ARRAY_BUFFER, b.vbo);
    m.Attributes(b.layout, 0, b.hasClip ? b.clipVbo : 0);
    m.Submit(c.type, c.numVertices, c.indices, c.indexCount, c.startVertex);
}

void GlPlayer::CreateVertexBuffer(uint32_t id, const D3DVERTEXBUFFERDESC& desc) {
    Impl& m = *impl_;
    Impl::Buffer& b = m.Slot(m.buffers, id, true);
    if (b.vbo) glDeleteBuffers(1, &b.vbo);
    if (b.clipVbo) glDeleteBuffers(1, &b.clipVbo);
    b = Impl::Buffer{};
    if (desc.lNumVertices < 1 || desc.lNumVertices > D3DMAXNUMVERTICES) {
        throw TraceError("vertex buffer size");
    }
    b.exists = true;
    b.desc = desc;
    b.layout = d3d::ParseFvf(desc.lFVF);
    b.data.assign(static_cast<size_t>(desc.lNumVertices) * static_cast<size_t>(b.layout.stride),
                  std::byte{0});
    b.clip.assign(static_cast<size_t>(desc.lNumVertices) * 4, 0.0f);
    glGenBuffers(1, &b.vbo);
    glGenBuffers(1, &b.clipVbo);
}

void GlPlayer::LockVertexBuffer(uint32_t id, int32_t flags) {
    Impl::Buffer& b = impl_->Buf(id);
    b.locked = true;
    if ((flags & DDLOCK_READONLY) == 0) {
        std::fill(b.clip.begin(), b.clip.end(), 0.0f);
        b.clipDirty = true;
    }
}

void GlPlayer::UnlockVertexBuffer(uint32_t id, const uint8_t* data, uint32_t size) {
    Impl::Buffer& b = impl_->Buf(id);
    if (data != nullptr) {
        if (size != b.data.size()) throw TraceError("vertex buffer content of another size");
        std::memcpy(b.data.data(), data, size);
        b.dirty = true;
    }
    b.locked = false;
}

void GlPlayer::OptimizeVertexBuffer(uint32_t id) {
    impl_->Buf(id).optimized = true;
}

// As a translation layer does: processed on the CPU with the device's pipeline, the result
// uploaded when it is drawn.
void GlPlayer::ProcessVertices(const ProcessCall& c) {
    Impl& m = *impl_;
    Impl::Buffer& dst = m.Buf(c.dest);
    Impl::Buffer& src = m.Buf(c.source);
    Impl::Device& d = m.Dev(c.device);
    if (!dst.layout.transformed || src.layout.transformed || c.count < 0 || c.destIndex < 0 ||
        c.sourceIndex < 0 || c.count > dst.desc.lNumVertices - c.destIndex ||
        c.count > src.desc.lNumVertices - c.sourceIndex) {
        throw TraceError("ProcessVertices outside a buffer or between wrong formats");
    }
    const bool light = (c.op & D3DVOP_LIGHT) != 0 && d.state.on(D3DRENDERSTATE_LIGHTING);
    d3d::PrepareVertexPipeline(d.state, light, m.pipeline);
    m.processed.resize(static_cast<size_t>(c.count));
    const size_t srcStride = static_cast<size_t>(src.layout.stride);
    d3d::ProcessUntransformed(m.pipeline, src.layout,
                              src.data.data() + static_cast<size_t>(c.sourceIndex) * srcStride,
                              c.count, m.processed.data());
    const size_t stride = static_cast<size_t>(dst.layout.stride);
    d3d::WriteTransformed(dst.layout, m.processed.data(), c.count,
                          dst.data.data() + static_cast<size_t>(c.destIndex) * stride);
    const bool keep = (c.op & D3DVOP_CLIP) != 0;
    for (int32_t i = 0; i < c.count; ++i) {
        const d3d::ProcessedVertex& v = m.processed[static_cast<size_t>(i)];
        float* out = &dst.clip[static_cast<size_t>(c.destIndex + i) * 4];
        out[0] = keep ? v.cx : 0, out[1] = keep ? v.cy : 0, out[2] = keep ? v.cz : 0;
        out[3] = keep ? v.cw : 0;
    }
    dst.hasClip = dst.hasClip || keep;
    dst.dirty = true;
    dst.clipDirty = true;
}

}  // namespace replay
