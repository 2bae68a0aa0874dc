#pragma once

#include "console/host.h"

#include <QObject>

namespace platform {

// A serial component as the window hosts it: a child object of the window,
// destroyed with it. release() closes the port without throwing; the error
// path and teardown use it.
class HostedComponent : public QObject, public console::SerialComponent {
public:
    using QObject::QObject;
    virtual void release() noexcept = 0;
};

} // namespace platform
