// velmord's log: one line per event on standard error, which systemd's journal takes as it is.
#ifndef VELMORD_LOG_H
#define VELMORD_LOG_H

#include <string>

namespace Log {

void setVerbose(bool verbose);
bool verbose();
void line(const std::string &text);
// Only with --verbose.
void detail(const std::string &text);

} // namespace Log

#endif // VELMORD_LOG_H
