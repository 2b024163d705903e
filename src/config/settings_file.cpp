#include "config/settings_file.h"

#include <cstdio>
#include <cstring>

#include "config/args.h"
#include "config/profile.h"
#include "support/disk.h"
#include "support/sjis.h"

namespace volari {

const char kSettingsFileName[] = "VOLARI.INI";

namespace {

constexpr char kSep = '\\';
constexpr char kSepText[] = "\\";

bool ends_with_separator(const char* text) {
  const size_t n = std::strlen(text);
  return n > 0 && text[n - 1] == '\\';
}

template <size_t N>
void append(char (&dst)[N], const char* tail) {
  const size_t n = std::strlen(dst);
  copy_text(dst + n, N - n, tail);
}

// The folder of the program's own file, whatever argv[0] says (a program found through PATH has
// no folder in it).
void find_program_dir(Platform& platform, Settings& s, int argc, char** argv) {
  copy_text(s.program_dir, ".");
  if (argc < 1 || argv == nullptr || argv[0] == nullptr) return;
  const std::string own = platform.program_file(argv[0]);
  std::string dir(own.size() + 1, '\0');
  if (!path_dir_part(own.c_str(), &dir[0])) return;
  if (std::strlen(dir.c_str()) < sizeof s.program_dir) {
    copy_text(s.program_dir, dir.c_str());
  } else {
    s.program_dir[0] = '\0';
  }
}

void locate_profile(Platform& platform, Settings& s) {
  s.sec_profile[0] = '\0';
  const char* dir = s.program_dir;
  if (!dir[0]) return;
  std::snprintf(s.sec_profile, sizeof s.sec_profile, "%s\\%s", dir, kSettingsFileName);
  if (dir[0] == '\\' || dir[1] == ':') return;
  char full[sizeof s.sec_profile];
  if (!platform.current_dir(full, sizeof full)) return;
  if (!ends_with_separator(full)) append(full, "\\");
  if (std::strcmp(dir, ".") != 0) {
    append(full, dir);
    append(full, "\\");
  }
  const size_t n = std::strlen(full);
  if (n + std::strlen(kSettingsFileName) >= sizeof full) return;
  append(full, kSettingsFileName);
  copy_text(s.sec_profile, full);
}

// out_directory := the current directory, with its separator; unusable when it does not fit.
void take_current_dir(Platform& platform, Settings& s) {
  char full[kOutDirMax];
  if (!platform.current_dir(full, sizeof full - 1)) {
    s.out_dir_state = OutDirState::unusable;
    return;
  }
  copy_text(s.out_directory, full);
  if (!ends_with_separator(s.out_directory)) append(s.out_directory, kSepText);
  s.out_dir_state = OutDirState::entered;
}

// Scratch lookups: the field changes only when the key is there.
struct Reader {
  Platform& platform;
  const char* file;
  char value[kProfileValue];

  bool get(const char* section, const char* key) {
    return profile_get(platform, file, section, key, value);
  }
  void number(const char* section, const char* key, int& field) {
    if (get(section, key)) field = read_number(value);
  }
};

// Enters OUTDIR at once when it is there, so that the other paths are taken from it; one that is
// missing is made by the run (out_dir_state).
void read_out_directory(Platform& platform, Settings& s, const char* value) {
  std::string dir = path_from_user(value);
  if (!dir.empty() && dir.back() == kSep) dir.pop_back();
  copy_text(s.out_directory, dir.c_str());
  // Room for the separator and a full path: a value cut to fit would name another folder.
  if (dir.size() + 1 >= kOutDirMax) {
    s.out_dir_state = OutDirState::unusable;
    return;
  }
  if (dir.size() >= 2 && dir[1] == ':') {
    s.out_dir_state = drive_letters() ? OutDirState::drive : OutDirState::unusable;
    append(s.out_directory, kSepText);
    return;
  }
  if (!dir.empty() && !platform.change_dir(dir.c_str())) {
    s.out_dir_state = OutDirState::missing;
    return;
  }
  take_current_dir(platform, s);
}

void read_dir_section(Platform& platform, Settings& s, Reader& r) {
  const char* sec = s.sec_dir;
  profile_get(platform, s.sec_profile, sec, "FATNAME", s.fat_filename);
  if (s.fat_filename[0]) {
    copy_text(s.fat_filename, path_from_user(s.fat_filename).c_str());
    char dir[sizeof s.fat_filename];
    if (!path_dir_part(s.fat_filename, dir)) copy_text(dir, ".");
    copy_text(s.fat_directory, dir);
    if (!ends_with_separator(s.fat_directory)) append(s.fat_directory, "\\");
  }
  if (r.get(sec, "OUTDIR")) read_out_directory(platform, s, r.value);
  if (r.get(sec, "HISTORY")) {
    copy_text(s.hst_filename, path_from_user(r.value).c_str());
    if (ends_with_separator(s.hst_filename)) append(s.hst_filename, "HISTORY.HTM");
    s.flg_hst_file = 1;
  } else {
    s.flg_hst_file = 0;
    s.flg_hst_mode = 0;
  }
  if (r.get(sec, "HISTORYSET")) {
    s.flg_hst_mode = read_number(r.value);
    if (s.flg_hst_mode == 0) s.flg_hst_file = 0;
  }
  r.number(sec, "HISTORYPUT", s.flg_hst_type);
  r.number(sec, "HISTORYDATE", s.flg_hst_date);
  s.flg_log_file = 0;
  if (r.get(sec, "LOG") && r.value[0]) {
    copy_text(s.log_filename, path_from_user(r.value).c_str());
    if (ends_with_separator(s.log_filename)) append(s.log_filename, "LOG.TXT");
    s.flg_log_file = 1;
  }
  r.number(sec, "LAST_FROM", s.flg_last_from);
  if (r.get(sec, "LAST_TIME") && r.value[0]) s.flg_last_time = parse_last_time(r.value);
}

void read_option_section(Platform& platform, Settings& s, Reader& r) {
  const char* sec = s.sec_option;
  profile_get(platform, s.sec_profile, sec, "DOMAIN_EXT", s.domain_ext);
  if (s.domain_ext[0] == '0') s.domain_ext[0] = '\0';
  profile_get(platform, s.sec_profile, sec, "IP_ADDRESS", s.domain_ip);
  profile_get(platform, s.sec_profile, sec, "ROOTHTML", s.domain_root);
  r.number(sec, "DOMAIN_FLG", s.flg_dom_flg);
  r.number(sec, "DOMAIN_DIR", s.flg_dom_dir);
  // A missing key reads as empty, which is not "0": the empty sub-directory is switched on.
  r.get(sec, "DOMAIN_SUB");
  // Only a name switches the sub-directory on: an empty one would put every URL directory of a
  // host into one place, where files of the same name overwrite each other.
  if (r.value[0] != '0' && r.value[0] != '\0') {
    copy_text(s.domain_sub, r.value);
    s.flg_sub_dir = 1;
  }
  r.number(sec, "DIR_MAX", s.flg_dir_max);
  r.number(sec, "DIR_TIME", s.flg_dir_time);
  r.number(sec, "SKIP_WWW", s.flg_skip_www);
  r.number(sec, "SKIP_URL", s.flg_skip_url);
  r.number(sec, "CGI_FILE", s.flg_cgi_file);
  r.get(sec, "CGI_NAME");
  if (r.value[0] != '0') copy_text(s.cgi_name, r.value);
  r.number(sec, "SHIFTJIS", s.flg_shiftjis);
  r.number(sec, "CAPITAL_FILE", s.flg_cap_file);
  r.number(sec, "CAPITAL_DIR", s.flg_cap_dir);
  r.number(sec, "CAPITAL_DOMAIN", s.flg_cap_dom);
  r.number(sec, "LOCAL_LINKS", s.flg_local_links);
  r.number(sec, "MANIFEST", s.flg_manifest);
  r.number(sec, "HISTORY_VISITS", s.flg_hst_visits);
}

void read_domain_table(Settings& s, Reader& r) {
  char key[8];
  for (int nn = 0; nn < 100 && s.domain_count < kMaxDomainAliases; ++nn) {
    DomainAlias& entry = s.domain_table[s.domain_count];
    std::snprintf(key, sizeof key, "DOM%02d", nn);
    if (!r.get(s.sec_domain, key) || !r.value[0]) continue;
    copy_text(entry.dom, r.value);
    std::snprintf(key, sizeof key, "DIR%02d", nn);
    if (!r.get(s.sec_domain, key) || !r.value[0]) continue;
    copy_text(entry.dir, r.value);
    ++s.domain_count;
  }
}

}  // namespace

PackedTime parse_last_time(const char* text) {
  const char* c = text;
  auto next = [&c](char separator) {
    while (*c && *c != separator) ++c;
    if (*c == separator) ++c;
    return static_cast<uint32_t>(read_number(c));
  };
  const uint32_t year = (static_cast<uint32_t>(read_number(c)) - 1980u) & 0x7Fu;
  const uint32_t month = next('/') & 0x0Fu;
  const uint32_t day = next('/') & 0x1Fu;
  const uint32_t hour = next(' ') & 0x1Fu;
  const uint32_t minute = next(':') & 0x3Fu;
  return (year << 25) | (month << 21) | (day << 16) | (hour << 11) | (minute << 5);
}

void load_settings(Platform& platform, Settings& settings, int argc, char** argv) {
  find_program_dir(platform, settings, argc, argv);
  locate_profile(platform, settings);
  settings.domain_count = 0;
  if (!settings.sec_profile[0] || !file_exists(platform, settings.sec_profile)) return;
  const char* file = settings.sec_profile;
  profile_get(platform, file, "DOS32", "DIR", settings.sec_dir);
  profile_get(platform, file, "DOS32", "OPTION", settings.sec_option);
  profile_get(platform, file, "DOS32", "DOMAIN", settings.sec_domain);
  Reader reader{platform, file, {}};
  read_dir_section(platform, settings, reader);
  read_option_section(platform, settings, reader);
  read_domain_table(settings, reader);
}

void dump_settings(const Settings& s, Messages& m) {
  if (s.flg_debug == 0) return;
  m.verbose_printf("<ARGUMENT>\n");
  m.verbose_printf("intel cpu  =%d\n", s.intel_cpu);
  m.verbose_printf("<SECTION>\n");
  m.verbose_printf("sec_profile=%s\n", path_for_display(s.sec_profile).c_str());
  m.verbose_printf("sec_dir    =%s\n", s.sec_dir);
  m.verbose_printf("sec_option =%s\n", s.sec_option);
  m.verbose_printf("sec_domain =%s\n", s.sec_domain);
  m.verbose_printf("<DIR>\n");
  m.verbose_printf("fat_filename =%s\n", path_for_display(s.fat_filename).c_str());
  m.verbose_printf("fat_directory=%s\n", path_for_display(s.fat_directory).c_str());
  m.verbose_printf("out_directory=%s\n", path_for_display(s.out_directory).c_str());
  m.verbose_printf("hst_filename =%s\n", path_for_display(s.hst_filename).c_str());
  m.verbose_printf("log_filename =%s\n", path_for_display(s.log_filename).c_str());
  m.verbose_printf("flg_hst_file =%d\n", s.flg_hst_file);
  m.verbose_printf("flg_hst_mode =%d\n", s.flg_hst_mode);
  m.verbose_printf("flg_hst_type =%d\n", s.flg_hst_type);
  m.verbose_printf("flg_hst_date =%d\n", s.flg_hst_date);
  m.verbose_printf("flg_log_file =%d\n", s.flg_log_file);
  m.verbose_printf("flg_last_from=%d\n", s.flg_last_from);
  m.verbose_printf("flg_last_time=%s\n", long_date_time(s.flg_last_time).c_str());
  m.verbose_printf("<OPTION>\n");
  m.verbose_printf("domain_only =%s\n", s.domain_only);
  m.verbose_printf("domain_ext  =%s\n", s.domain_ext);
  m.verbose_printf("domain_ip   =%s\n", s.domain_ip);
  m.verbose_printf("domain_root =%s\n", s.domain_root);
  m.verbose_printf("domain_sub  =%s\n", s.domain_sub);
  m.verbose_printf("flg_dom_only=%d\n", s.flg_dom_only);
  m.verbose_printf("flg_dom_flg =%d\n", s.flg_dom_flg);
  m.verbose_printf("flg_dom_dir =%d\n", s.flg_dom_dir);
  m.verbose_printf("flg_sub_dir =%d\n", s.flg_sub_dir);
  m.verbose_printf("flg_dir_max =%d\n", s.flg_dir_max);
  m.verbose_printf("flg_dir_time=%d\n", s.flg_dir_time);
  m.verbose_printf("flg_skip_www=%d\n", s.flg_skip_www);
  m.verbose_printf("flg_skip_url=%d\n", s.flg_skip_url);
  m.verbose_printf("flg_cgi_file=%d\n", s.flg_cgi_file);
  m.verbose_printf("flg_shiftjis=%d\n", s.flg_shiftjis);
  m.verbose_printf("flg_cap_file=%d\n", s.flg_cap_file);
  m.verbose_printf("flg_cap_dir =%d\n", s.flg_cap_dir);
  m.verbose_printf("flg_cap_dom =%d\n", s.flg_cap_dom);
  // Keys beyond the classic set show only when they are on, so that every classic trace stays.
  if (s.flg_local_links != 0) m.verbose_printf("flg_local_links=%d\n", s.flg_local_links);
  if (s.flg_manifest != 0) m.verbose_printf("flg_manifest=%d\n", s.flg_manifest);
  if (s.flg_hst_visits != 0) m.verbose_printf("flg_hst_visits=%d\n", s.flg_hst_visits);
  m.verbose_printf("<DOMAIN>\n");
  for (uint32_t i = 0; i < s.domain_count; ++i) {
    m.verbose_printf("DOM%02u=%s\n", i, s.domain_table[i].dom);
    m.verbose_printf("DIR%02u=%s\n", i, s.domain_table[i].dir);
  }
}

bool store_last_time(Platform& platform, const Settings& settings, PackedTime when) {
  if (!settings.sec_profile[0]) return true;
  return profile_put(platform, settings.sec_profile, settings.sec_dir, "LAST_TIME",
                     long_date_time(when).c_str());
}

bool enter_out_directory(Platform& platform, Settings& s) {
  std::string dir = s.out_directory;
  if (dir.size() > 1 && dir.back() == kSep) dir.pop_back();
  switch (s.out_dir_state) {
    case OutDirState::entered:
      return true;
    case OutDirState::unusable:
      return false;
    case OutDirState::drive:
      return dir_exists(platform, dir.c_str()) || make_dirs(platform, dir.c_str());
    case OutDirState::missing:
      break;
  }
  if (!make_dirs(platform, dir.c_str()) || !platform.change_dir(dir.c_str())) return false;
  take_current_dir(platform, s);
  return s.out_dir_state == OutDirState::entered;
}

}  // namespace volari
