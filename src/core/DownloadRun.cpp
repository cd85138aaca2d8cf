#include "core/DownloadRun.h"

#include "core/Http.h"
#include "core/SiteRoot.h"
#include "core/TextRules.h"
#include "core/Texts.h"

namespace quillo {
namespace {

std::string PageStatus(std::int64_t page, std::int64_t total) {
  return text::Format(texts::kPageProgressFormat, {page, total});
}

}  // namespace

void DownloadRun(RunView& view, PageLinkList& pageLinks, net::SocketApi& sockets,
                 net::TlsApi& tls) {
  const LineSink appendLine = [&view](std::string_view line) { view.appendLine(line); };
  // The run's https connections share one TLS context and resume sessions.
  const auto runTls = tls.newRun();

  view.setStatus(texts::kDownloadStart);
  std::int64_t total = 1;
  {
    ResponseBuffer first;
    // A page not had raises before anything of the previous run is cleared.
    Scheme scheme = Scheme::kHttp;
    HttpGetUrl(sockets, *runTls, view.urlText(), first, &scheme);
    pageLinks.clear();
    ExtractPageLinks(first.text(), pageLinks,
                     scheme == Scheme::kHttps ? kHttpsSiteRoot : kSiteRoot);
    total = static_cast<std::int64_t>(pageLinks.size()) + 1;
    view.setStatus(PageStatus(1, total));
    view.clearLines();
    ExtractEntries(first.text(), appendLine);
  }

  for (std::size_t i = 0; i < pageLinks.size(); ++i) {
    ResponseBuffer page;
    view.setStatus(PageStatus(static_cast<std::int64_t>(i) + 2, total));
    HttpGetUrl(sockets, *runTls, pageLinks[i], page);
    ExtractEntries(page.text(), appendLine);
  }
  view.setStatus(texts::kDownloadDone);
}

}  // namespace quillo
