#include "line_factory.h"

#include "serial/tcp_line.h"

namespace varnak {

std::unique_ptr<Transport> MakeTransport(const LineAddress& address, const QString& label, MsClock clock) {
  if (address.network()) return std::make_unique<TcpLine>(address, label, std::move(clock));
  return std::make_unique<LocalPort>(QString::fromStdString(address.device), label, std::move(clock));
}

}  // namespace varnak
