#include <cstdio>
#include <mutex>
#include <utility>

#include "standin_user.h"

namespace {

std::mutex g_mutex;
std::vector<standin::MessageBoxCall> g_boxes;

}  // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    standin::MessageBoxCall call{owner, text == nullptr ? "" : text, caption == nullptr ? "" : caption, style,
                                 standin::SectionsHeldByThisThread()};
    std::fprintf(stderr, "standin: message box \"%s\": %s\n", call.caption.c_str(), call.text.c_str());
    std::lock_guard<std::mutex> hold(g_mutex);
    g_boxes.push_back(std::move(call));
    return IDOK;
}

namespace standin {

std::vector<MessageBoxCall> TakeMessageBoxes() {
    std::lock_guard<std::mutex> hold(g_mutex);
    return std::exchange(g_boxes, {});
}

}  // namespace standin
