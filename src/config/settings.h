// The settings record of a run: built-in defaults, then the settings file, then the command line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/packed_time.h"

namespace volari {

// A host-name ending and the text that replaces it.
struct DomainAlias {
  char dom[260] = {};
  char dir[260] = {};
};

constexpr unsigned kMaxDomainAliases = 100;

// Values of flg_test: 0 converts, 1 only reads and parses the index; every other value goes
// through each entry without writing anything, 3 and 4 stopping it early.
constexpr int kTestIndexOnly = 1;
constexpr int kTestStopBeforeFilter = 3;  // after the names are made
constexpr int kTestStopBeforeHost = 4;    // after the URL is split

// flg_hst_mode of history mode (-h): every key of the history file becomes one line.
constexpr int kHistoryModeKeys = 9;

// What became of OUTDIR when the settings were read.
enum class OutDirState {
  entered,   // the current directory (also without OUTDIR), out_directory its full path
  drive,     // a path with a drive letter (Windows), not entered, out_directory that path
  missing,   // not there yet: out_directory holds the value, for the run to make
  unusable,  // a drive letter where there are none, or longer than out_directory holds
};

constexpr size_t kOutDirMax = 264;

struct Settings {
  char sec_dir[264] = "DIR";
  char sec_option[264] = "OPTION";
  char sec_domain[264] = "DOMAIN";
  char fat_filename[264] = "FAT.DB";
  char fat_directory[264] = ".\\";         // always ends in '\'
  char out_directory[kOutDirMax] = ".\\";  // ends in its separator once entered
  char hst_filename[264] = ".\\HISTORY.HTM";
  char log_filename[260] = ".\\LOG.TXT";
  int flg_hst_file = 1;
  int flg_hst_mode = 2;
  int flg_hst_type = 3;
  int flg_hst_date = 0;
  int flg_log_file = 1;
  int flg_last_from = 0;
  PackedTime flg_last_time = 0;
  char domain_only[264] = "";
  char domain_ext[264] = ".DOM";
  char domain_ip[264] = "00";
  char domain_root[264] = "INDEX.HTM";
  char domain_sub[264] = "";
  char cgi_name[260] = "";
  int flg_dom_only = 0;
  int flg_dom_flg = 0;
  int flg_dom_dir = 1;
  int flg_sub_dir = 0;
  int flg_dir_max = 260;
  int flg_dir_time = 0;
  int flg_cap_file = 1;
  int flg_cap_dir = 1;
  int flg_cap_dom = 1;
  int flg_skip_www = 15;
  int flg_skip_url = 6;
  int flg_cgi_file = 0;
  int flg_shiftjis = 1;
  int flg_verbose = 1;
  int flg_result = 1;
  int flg_wait_key = 0;
  int intel_cpu = 1;
  int flg_debug = 0;
  int flg_test = 0;
  int flg_history_db = 0;
  // Keys beyond the classic set, all off unless asked for.
  int flg_local_links = 0;  // LOCAL_LINKS: links in pages lead into the copy
  int flg_manifest = 0;     // MANIFEST: VOLARI.CSV and SITES.HTM in OUTDIR
  int flg_hst_visits = 0;   // HISTORY_VISITS: history mode lists last visits, newest first

  // Beside the record.
  OutDirState out_dir_state = OutDirState::entered;
  char program_dir[260] = ".";
  char sec_profile[272] = ".\\VOLARI.INI";
  DomainAlias domain_table[kMaxDomainAliases];
  uint32_t domain_count = 0;
};

}  // namespace volari
