#include "platform/sysutils.h"

#include <QHash>
#include <limits>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

void ReleaseFreeMemory() {
#if defined(__GLIBC__)
  // glibc gives back only the free top of its heap by itself; a freed screen-sized buffer lower
  // down stays resident until told.
  malloc_trim(0);
#endif
}

QString Trim(const QString& text) {
  qsizetype first = 0;
  qsizetype last = text.size();
  while (first < last && text.at(first).unicode() < 33) ++first;
  while (last > first && text.at(last - 1).unicode() < 33) --last;
  return text.mid(first, last - first);
}

std::int32_t StrToInt(const QString& text) {
  const auto fail = [&] { return EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text)); };
  qsizetype i = 0;
  bool negative = false;
  if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+')) {
    negative = text.at(i) == u'-';
    ++i;
  }
  if (i == text.size()) throw fail();
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text.at(i).unicode();
    if (c < u'0' || c > u'9') throw fail();
    value = value * 10 + (c - u'0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) throw fail();
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) throw fail();
  return static_cast<std::int32_t>(value);
}

std::uint32_t RegisterWindowMessage(const QString& name) {
  // Registered messages live in 0xC000..0xFFFF on the original platform; keep that range so
  // they never collide with fixed message numbers.
  static QHash<QString, std::uint32_t> registered;
  auto it = registered.constFind(name);
  if (it != registered.constEnd()) return *it;
  const std::uint32_t number = 0xC000 + static_cast<std::uint32_t>(registered.size());
  registered.insert(name, number);
  return number;
}
