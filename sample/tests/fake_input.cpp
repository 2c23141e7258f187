#include "sample/tests/fake_input.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace ombrix::sample::testing {
namespace {

constexpr std::uint8_t kLeftButton = 1;

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace

FakeInput::FakeInput(const std::string& display)
    : connection_(xcb_connect(display.c_str(), nullptr)) {
    if (xcb_connection_has_error(connection_))
        return;
    const xcb_query_extension_reply_t* test = xcb_get_extension_data(connection_, &xcb_test_id);
    if (test == nullptr || !test->present)
        return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
}

FakeInput::~FakeInput() {
    xcb_disconnect(connection_);
}

void FakeInput::click(QPoint screenPosition) {
    xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_,
                        static_cast<std::int16_t>(screenPosition.x()),
                        static_cast<std::int16_t>(screenPosition.y()), 0);
    xcb_test_fake_input(connection_, XCB_BUTTON_PRESS, kLeftButton, XCB_CURRENT_TIME, XCB_NONE, 0,
                        0, 0);
    xcb_test_fake_input(connection_, XCB_BUTTON_RELEASE, kLeftButton, XCB_CURRENT_TIME, XCB_NONE, 0,
                        0, 0);
    roundTrip();
}

void FakeInput::requestClose(unsigned long window) {
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = static_cast<xcb_window_t>(window);
    request.type = atom(connection_, "WM_PROTOCOLS");
    request.data.data32[0] = atom(connection_, "WM_DELETE_WINDOW");
    request.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, request.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&request));
    roundTrip();
}

// The server has handled everything sent before this returns.
void FakeInput::roundTrip() {
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

}  // namespace ombrix::sample::testing
