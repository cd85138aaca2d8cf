#pragma once

#include <string>
#include <string_view>

#include "base/SocketApi.h"
#include "base/TlsApi.h"
#include "core/PageParsing.h"

namespace quillo {

// What the download run needs of its window. Texts are CP932 bytes.
class RunView {
 public:
  virtual ~RunView() = default;
  virtual std::string urlText() = 0;
  virtual void setStatus(std::string_view status) = 0;
  virtual void clearLines() = 0;
  virtual void appendLine(std::string_view line) = 0;
};

// Fetches the page named by the URL field and every further page it links
// to, appending each entry as one line. Errors of the fetch, a page not had
// among them, end the run and reach the caller; what was shown up to then
// stays, and nothing is cleared when the first page is not had. Every page is fetched
// through sockets, an https one through a run of tls (tls.newRun()) over
// them; the further pages use the scheme the first page was fetched over.
void DownloadRun(RunView& view, PageLinkList& pageLinks, net::SocketApi& sockets, net::TlsApi& tls);

}  // namespace quillo
