#pragma once

#include <QRect>
#include <QString>
#include <optional>

// The pixel rectangle on the root window of the RandR monitor called `name` (Qt names its screens
// after the RandR monitors). None without the xcb platform, without RandR 1.5 on the server, or
// when no active monitor has that name.
std::optional<QRect> RandrMonitorRect(const QString& name);
