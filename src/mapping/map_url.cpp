#include "mapping/map_url.h"

#include "mapping/file_naming.h"
#include "mapping/host_naming.h"
#include "mapping/name_filter.h"
#include "mapping/out_path.h"
#include "support/sjis.h"

namespace volari {

namespace {

bool kind_skipped(const Settings& s, UrlKind kind) {
  switch (kind) {
    case UrlKind::http:
    case UrlKind::https:
      return (s.flg_skip_url & kSkipHttp) != 0;
    case UrlKind::ftp:
      return (s.flg_skip_url & kSkipFtp) != 0;
    case UrlKind::file:
      return (s.flg_skip_url & kSkipFile) != 0;
    default:
      return false;
  }
}

}  // namespace

MappedUrl map_url(const Settings& s, std::string_view url) {
  MappedUrl m;
  m.kind = classify_url(url);
  if (kind_skipped(s, m.kind)) return m;
  m.flags.url_ftp = m.kind == UrlKind::ftp || m.kind == UrlKind::file;

  m.url_domain = split_url_domain(m.kind, url);
  m.url_directory = split_url_directory(m.kind, url);
  m.url_filename = split_url_filename(m.kind, url);
  m.outcome = MapOutcome::other_host;
  if (s.flg_dom_only != 0 && !same_ignoring_ascii_case(m.url_domain, text_of(s.domain_only))) {
    return m;
  }

  m.dir_domain = make_dir_domain(s, m.url_domain);
  m.dir_directory = make_dir_directory(s, m.url_directory);
  m.flags.names_file = make_dir_filename(s, m.url_filename, m.dir_filename);
  m.outcome = MapOutcome::name_refused;
  std::string directory = m.dir_directory;
  std::string filename = m.dir_filename;
  if (filter_name(s, directory) == FilterResult::refused) return m;
  const FilterResult file_result = filter_name(s, filename);
  if (file_result == FilterResult::refused) return m;
  if (file_result == FilterResult::cut_cgi && s.cgi_name[0] != '\0') filename = text_of(s.cgi_name);
  if (!m.flags.url_ftp) m.flags.graphic = is_graphic_name(filename);

  m.outcome = make_out_path(s, m.dir_domain, directory, filename, m.out_path)
                  ? MapOutcome::mapped
                  : MapOutcome::path_refused;
  return m;
}

}  // namespace volari
