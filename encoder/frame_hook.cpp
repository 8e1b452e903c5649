#include "encoder/frame_hook.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "encoder/hook/overlay.h"

#include <dlfcn.h>

extern "C" {
#include <libavutil/frame.h>
}

namespace wm {

void HookLibraryCloser::operator()(void* handle) const noexcept {
    if (handle) dlclose(handle);
}

Error FrameHook::open(const std::vector<std::string>& words, const WmHookFrameFormat& format,
                      std::unique_ptr<FrameHook>& out, const WmHookFrameColour& colour) {
    if (words.empty()) return failure("load frame hook", "no module named");
    // A bare name would make dlopen search the system's library folders.
    std::string path = words[0].find('/') == std::string::npos ? "./" + words[0] : words[0];
    const std::string what = "load frame hook '" + words[0] + "'";

    auto hook = std::unique_ptr<FrameHook>(new FrameHook);
    hook->name_ = words[0];
    dlerror();
    hook->library_.reset(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!hook->library_) {
        const char* why = dlerror();
        return failure(what, why ? why : "cannot load the module");
    }
    auto resolve = [&](const char* symbol, void*& into) -> Error {
        dlerror();
        into = dlsym(hook->library_.get(), symbol);
        if (!into) {
            const char* why = dlerror();
            return failure(what, std::string("the module has no '") + symbol + "'" +
                                     (why ? std::string(": ") + why : ""));
        }
        return noError();
    };
    void *abi = nullptr, *create = nullptr, *process = nullptr, *destroy = nullptr;
    for (auto [sym, slot] :
         {std::pair{WM_HOOK_SYMBOL_ABI_VERSION, &abi}, std::pair{WM_HOOK_SYMBOL_CREATE, &create},
          std::pair{WM_HOOK_SYMBOL_PROCESS, &process}, std::pair{WM_HOOK_SYMBOL_DESTROY, &destroy}})
        if (Error e = resolve(sym, *slot)) return e;

    const int version = reinterpret_cast<WmHookAbiVersionFn>(abi)();
    if (version != WM_HOOK_ABI_VERSION)
        return failure(what, "the module speaks interface version " + std::to_string(version) + ", not " +
                                 std::to_string(WM_HOOK_ABI_VERSION));

    hook->process_ = reinterpret_cast<WmHookProcessFn>(process);
    // The one optional entry: its absence is no fault.
    hook->processAt_ =
        reinterpret_cast<WmHookProcessAtFn>(dlsym(hook->library_.get(), WM_HOOK_SYMBOL_PROCESS_AT));
    hook->instance_ =
        std::unique_ptr<WmHook, HookInstanceDestroyer>(nullptr, {reinterpret_cast<WmHookDestroyFn>(destroy)});
    std::vector<const char*> argv;
    for (size_t i = 1; i < words.size(); ++i)
        argv.push_back(words[i].c_str());
    char message[512] = {};
    // The optional entry that hears the frames' light as well.
    void* createColour = dlsym(hook->library_.get(), WM_HOOK_SYMBOL_CREATE_COLOUR);
    WmHook* instance = createColour
                           ? reinterpret_cast<WmHookCreateColourFn>(createColour)(
                                 int(argv.size()), argv.data(), &format, &colour, message, sizeof message)
                           : reinterpret_cast<WmHookCreateFn>(create)(int(argv.size()), argv.data(), &format,
                                                                      message, sizeof message);
    if (!instance)
        return failure("configure frame hook '" + words[0] + "'",
                       message[0] ? message : "the module refused");
    hook->instance_.reset(instance);
    out = std::move(hook);
    return noError();
}

Error FrameHook::process(AVFrame* frame, double seconds) {
    const int r = processAt_ ? processAt_(instance_.get(), frame->data, frame->linesize, seconds)
                             : process_(instance_.get(), frame->data, frame->linesize);
    if (r != 0) return failure("frame hook '" + name_ + "'", "could not process a frame");
    return noError();
}

AVPixelFormat hookPixelFormat(AVPixelFormat decoded, AVPixelFormat encoded) {
    for (AVPixelFormat f : {decoded, encoded})
        if (const char* n = av_get_pix_fmt_name(f); n && overlaySupportsFormat(n)) return f;
    return AV_PIX_FMT_YUV420P;
}

}  // namespace wm
