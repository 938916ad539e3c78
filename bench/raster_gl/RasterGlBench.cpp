// The rasterizer workloads "fill", "blend" and "small" drawn by the system's software OpenGL (Mesa's
// llvmpipe through EGL without a window), so that our rasterizer's figures can be set beside a peer's in
// one run. Same frames, same output lines as bench_raster. Run without arguments it runs itself twice:
// once with LP_NUM_THREADS=0 (llvmpipe rasterizes on the calling thread) and once with llvmpipe's default
// thread count (one per core). "--threads n" runs once with LP_NUM_THREADS=n; "--only name" one workload;
// "--cpu" times the one-thread run by the thread's processor time.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <ctime>
#include <thread>
#include <vector>

#include "../raster/RasterWorkload.h"

namespace {

using namespace rasterbench;

// A pre-transformed vertex: screen position, depth and rhw, the diffuse colour as bytes r g b a, the
// fog factor (0..1) and the texture coordinates.
struct Vertex {
    float x, y, z, rhw;
    uint8_t rgba[4];
    float fog;
    float u, v;
};

Vertex MakeVertex(float x, float y, float z, float rhw, uint32_t argb, uint32_t specular, float u, float v) {
    Vertex out{x, y, z, rhw, {}, static_cast<float>(specular >> 24) / 255.0f, u, v};
    out.rgba[0] = static_cast<uint8_t>(argb >> 16);
    out.rgba[1] = static_cast<uint8_t>(argb >> 8);
    out.rgba[2] = static_cast<uint8_t>(argb);
    out.rgba[3] = static_cast<uint8_t>(argb >> 24);
    return out;
}

std::vector<Vertex> FillQuads(uint32_t diffuse) {
    std::vector<Vertex> v;
    for (int k = 0; k < 16; ++k) {
        float z = 1.0f - (k + 1) / 17.0f;
        Vertex tl = MakeVertex(0, 0, z, 1, diffuse, 0xFF000000u, 0, 0);
        Vertex tr = MakeVertex(kW, 0, z, 1, diffuse, 0, 3.125f, 0);
        Vertex br = MakeVertex(kW, kH, z, 1, diffuse, 0, 3.125f, 2.34375f);
        Vertex bl = MakeVertex(0, kH, z, 1, diffuse, 0xFF000000u, 0, 2.34375f);
        v.insert(v.end(), {tl, tr, br, tl, br, bl});
    }
    return v;
}

std::vector<Vertex> SmallTriangles() {
    g_rng = 0x12345678;
    std::vector<Vertex> v;
    v.reserve(300000);
    for (int t = 0; t < 100000; ++t) {
        double cx = FRand() * kW, cy = FRand() * kH;
        for (int i = 0; i < 3; ++i) {
            float x = static_cast<float>(cx + (FRand() * 16 - 8));
            float y = static_cast<float>(cy + (FRand() * 16 - 8));
            double z = FRand();
            float u = static_cast<float>(FRand() * 4);
            float tv = static_cast<float>(FRand() * 4);
            uint32_t diffuse = 0xFF000000u | (R() & 0xFFFFFF);
            uint32_t specular = (R() & 255) << 24;
            v.push_back(MakeVertex(x, y, static_cast<float>(z), static_cast<float>(1.0 / (1.0 + 3.0 * z)),
                                   diffuse, specular, u, tv));
        }
    }
    return v;
}

const char* kVertexShader = R"(#version 300 es
layout(location = 0) in vec4 pos;   // x, y in pixels, z, rhw
layout(location = 1) in vec4 colour;
layout(location = 2) in float fog;
layout(location = 3) in vec2 uv;
out vec4 vColour;
out float vFog;
out vec2 vUv;
void main() {
    float w = 1.0 / pos.w;
    gl_Position = vec4((pos.x / 400.0 - 1.0) * w, (1.0 - pos.y / 300.0) * w, (2.0 * pos.z - 1.0) * w, w);
    vColour = colour;
    vFog = fog;
    vUv = uv;
}
)";

const char* kFragmentShader = R"(#version 300 es
precision highp float;
uniform sampler2D tex;
in vec4 vColour;
in float vFog;
in vec2 vUv;
out vec4 outColour;
void main() {
    vec4 c = texture(tex, vUv) * vColour;
    outColour = vec4(mix(vec3(0.25098, 0.50196, 0.75294), c.rgb, vFog), c.a);
}
)";

GLuint Compile(GLenum kind, const char* source) {
    GLuint s = glCreateShader(kind);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(s, sizeof log, nullptr, log);
        std::fprintf(stderr, "raster_gl: shader: %s\n", log);
        std::exit(1);
    }
    return s;
}

bool InitGl() {
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay dpy = getPlatformDisplay
                         ? getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)
                         : EGL_NO_DISPLAY;
    if (dpy == EGL_NO_DISPLAY || !eglInitialize(dpy, nullptr, nullptr)) {
        std::fprintf(stderr, "raster_gl: no surfaceless EGL display\n");
        return false;
    }
    eglBindAPI(EGL_OPENGL_ES_API);
    const EGLint configAttribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_ES3_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    eglChooseConfig(dpy, configAttribs, &config, 1, &count);
    const EGLint contextAttribs[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0, EGL_NONE};
    EGLContext ctx = eglCreateContext(dpy, count ? config : nullptr, EGL_NO_CONTEXT, contextAttribs);
    if (ctx == EGL_NO_CONTEXT || !eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx)) {
        std::fprintf(stderr, "raster_gl: no OpenGL ES 3 context\n");
        return false;
    }
    return true;
}

// The render target, texture, shaders and states every workload shares.
void SetUpScene() {
    GLuint fbo, colour, depth;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kW, kH);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kW, kH);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        std::fprintf(stderr, "raster_gl: incomplete framebuffer\n");
        std::exit(1);
    }
    glViewport(0, 0, kW, kH);

    std::vector<uint8_t> texels(256 * 256 * 4);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            uint8_t* t = &texels[(y * 256 + x) * 4];
            t[0] = static_cast<uint8_t>(x), t[1] = static_cast<uint8_t>(y), t[2] = static_cast<uint8_t>(x ^ y);
            t[3] = 255;
        }
    GLuint tex;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 256, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);

    GLuint prog = glCreateProgram();
    glAttachShader(prog, Compile(GL_VERTEX_SHADER, kVertexShader));
    glAttachShader(prog, Compile(GL_FRAGMENT_SHADER, kFragmentShader));
    glLinkProgram(prog);
    glUseProgram(prog);
    glUniform1i(glGetUniformLocation(prog, "tex"), 0);

    GLuint vao;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glDisable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClearColor(0, 0, 0, 1);
    glClearDepthf(1.0f);
}

// Uploads a vertex stream into a buffer of its own and points the attributes at it.
GLuint Upload(const std::vector<Vertex>& v) {
    GLuint vbo;
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(v.size() * sizeof(Vertex)), v.data(), GL_STATIC_DRAW);
    const GLsizei stride = sizeof(Vertex);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(Vertex, x)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, reinterpret_cast<void*>(offsetof(Vertex, rgba)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 1, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(Vertex, fog)));
    glEnableVertexAttribArray(3);
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(Vertex, u)));
    return vbo;
}

// Times frames drawn with the given depth write state (the clear always writes depth: GL clears only
// what the depth mask lets through).
double MedianFrameMs(int count, int frames, bool depthWrite) {
    std::vector<double> times;
    for (int f = 0; f < frames + 1; ++f) {
        const double t0 = NowMs();
        glDepthMask(GL_TRUE);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDepthMask(depthWrite ? GL_TRUE : GL_FALSE);
        glDrawArrays(GL_TRIANGLES, 0, count);
        glFinish();
        const double t1 = NowMs();
        if (f > 0) times.push_back(t1 - t0);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int Run(int threads, int frames, const char* only) {
    if (!InitGl()) return 1;
    SetUpScene();
    std::fprintf(stderr, "raster_gl: %s, LP_NUM_THREADS=%d\n",
                 reinterpret_cast<const char*>(glGetString(GL_RENDERER)), threads);
    const int shown = std::max(threads, 1);
    auto wanted = [&](const char* name) { return !only || std::strcmp(only, name) == 0; };
    if (wanted("fill")) {
        std::vector<Vertex> v = FillQuads(0xFFFFFFFF);
        Upload(v);
        glDisable(GL_BLEND);
        double ms = MedianFrameMs(static_cast<int>(v.size()), frames, true);
        std::printf("raster fill: %.2f Mpixels/s (%.3f ms/frame, %d threads)\n", 16 * 480000 / (ms * 1000), ms,
                    shown);
    }
    if (wanted("blend")) {
        std::vector<Vertex> v = FillQuads(0x80FFFFFF);
        Upload(v);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        double ms = MedianFrameMs(static_cast<int>(v.size()), frames, false);
        std::printf("raster blend: %.2f Mpixels/s (%.3f ms/frame, %d threads)\n", 16 * 480000 / (ms * 1000),
                    ms, shown);
    }
    if (wanted("small")) {
        std::vector<Vertex> v = SmallTriangles();
        Upload(v);
        glDisable(GL_BLEND);
        double ms = MedianFrameMs(static_cast<int>(v.size()), (frames + 1) / 2, true);
        std::printf("raster small: %.2f Mtriangles/s (%.3f ms/frame, %d threads)\n", 100000 / (ms * 1000), ms,
                    shown);
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int threads = -1;
    int frames = 21;
    const char* only = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) threads = std::max(0, std::atoi(argv[++i]));
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) frames = std::max(1, std::atoi(argv[++i]));
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
        if (std::strcmp(argv[i], "--cpu") == 0) g_cpuTime = true;
    }
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);
    if (threads >= 0) {
        setenv("LP_NUM_THREADS", std::to_string(threads).c_str(), 1);
        return Run(threads, frames, only);
    }
    // Both runs, each in a process of its own: llvmpipe reads its thread count once.
    std::string self = argv[0];
    std::string rest = " --frames " + std::to_string(frames) + (only ? std::string(" --only ") + only : "") +
                       (g_cpuTime ? " --cpu" : "");
    int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    int rc = std::system((self + " --threads 0" + rest).c_str());
    // Thread time is the figure of one thread only.
    if (rc == 0 && cores > 1 && !g_cpuTime) rc = std::system((self + " --threads " + std::to_string(cores) + rest).c_str());
    return rc == 0 ? 0 : 1;
}
