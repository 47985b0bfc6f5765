#include "frameworks/widgets/KDCompositing.h"

#include <QByteArray>
#include <QGuiApplication>

#include <optional>

#ifdef MIRELUNE_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#endif

namespace {

std::optional<bool> &overrideValue()
{
    static std::optional<bool> value;
    return value;
}

#ifdef MIRELUNE_HAVE_XCB
// A compositing manager owns the selection _NET_WM_CM_S<screen>.
bool x11CompositorRunning()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    int display = 0;
    int screen = 0;
    char *host = nullptr;
    if (xcb_parse_display(nullptr, &host, &display, &screen))
        std::free(host);
    const QByteArray name = QByteArrayLiteral("_NET_WM_CM_S") + QByteArray::number(screen);
    const xcb_intern_atom_cookie_t atomCookie =
        xcb_intern_atom(connection, 1, static_cast<uint16_t>(name.size()), name.constData());
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, atomCookie, nullptr), &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr),
        &std::free);
    return owner && owner->owner != XCB_NONE;
}
#endif

} // namespace

bool KDCompositing::isActive()
{
    if (overrideValue())
        return *overrideValue();
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
#ifdef MIRELUNE_HAVE_XCB
        return x11CompositorRunning();
#else
        return false;
#endif
    }
    // Wayland always composites; image-based platforms store alpha as painted.
    return true;
}

void KDCompositing::setOverride(bool active)
{
    overrideValue() = active;
}

void KDCompositing::clearOverride()
{
    overrideValue().reset();
}
