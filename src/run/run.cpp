#include "run/run.h"

#include <algorithm>

#include "config/settings_file.h"
#include "output/history.h"
#include "output/history_record.h"
#include "run/clock_step.h"
#include "run/entry.h"
#include "run/index_survey.h"
#include "run/manifest_file.h"
#include "support/error_line.h"
#include "support/japanese.h"
#include "support/keys.h"

namespace volari {

Run::Run(Platform& p) : platform(p), messages(p), output(p), link_targets(p, settings) {}

std::string Run::index_path() {
  return files.find(platform, settings.fat_filename).value_or(settings.fat_filename);
}

PageScan Run::page_scan() {
  PageScan scan;
  scan.debug = settings.flg_debug;
  scan.history = settings.flg_history_db != 0;
  scan.trace = &messages;
  scan.keys = &platform;
  scan.history_keys = this;
  return scan;
}

void Run::history_key(const HistoryKey& key) {
  OutputContext out = output_context();
  if (settings.flg_hst_visits == 0) {
    put_history_entry(out, EntryFlags{}, "", key.url, key.url, key.url);
    return;
  }
  if (visits.full()) visits.write(out);
  visits.add(key.url, decode_history_record(key.data, key.data_size, key.big_endian));
}

namespace {

// What must hold before anything is written: the settings file to this run alone, an output
// folder, and no link below it that a write could pass through.
bool prepare_run(Run& run) {
  Settings& s = run.settings;
  Platform& p = run.platform;
  if (s.sec_profile[0] && !p.lock_file(s.sec_profile, &run.settings_lock)) {
    error_line(p, "settings file in use by another run '%s'.", s.sec_profile);
    return false;
  }
  if (!enter_out_directory(p, s) || !p.confine_writes(s.out_directory)) {
    error_line(p, "OUTDIR can't open '%s'.", s.out_directory);
    return false;
  }
  return true;
}

}  // namespace

void run_pages(Run& run) {
  const Settings& s = run.settings;
  const bool converting = s.flg_test != kTestIndexOnly && !s.flg_history_db;
  if (!prepare_run(run)) {
    run.failed = true;
    run.platform.close_file(run.settings_lock);
    return;
  }
  bool ok = start_run(run);
  if (!ok) run.failed = true;
  if (ok && converting) survey_index(run);
  while (ok && !escape_pressed(run.platform)) {
    if (s.flg_debug >= 1) run.messages.verbose_printf("call read\n");
    ok = read_page(run.index, run.platform, run.page);
    if (!ok) run.index_read_to_end = true;
    if (ok) {
      if (s.flg_debug >= 1) run.messages.verbose_printf("call conv\n");
      ok = parse_page(run.index, run.page, run.page_scan(), run.batch);
    }
    if (ok && converting) {
      if (s.flg_debug >= 1) run.messages.verbose_printf("call copy\n");
      ok = convert_batch(run, run.batch);
    }
  }
  end_run(run);
  run.platform.confine_writes("");
  run.platform.close_file(run.settings_lock);
  run.settings_lock = kNoFile;
}

bool start_run(Run& run) {
  Settings& s = run.settings;
  run.messages.verbose = s.flg_verbose != 0;
  if (s.flg_log_file) {
    if (!run.messages.open_log(s.log_filename)) {
      error_line(run.platform, "file can't open '%s'.", s.log_filename);
      run.failed = true;
    }
    dump_settings(s, run.messages);
  }
  run.messages.msg_printf(ja::kBannerFormat, "MS-DOS", ja::kBannerEdition);
  if (s.flg_dom_only) run.messages.msg_printf(ja::kTargetHostFormat, s.domain_only);
  run.counters = RunCounters{};
  run.index_read_to_end = false;
  run.start_time = run.platform.local_time();
  run.start_tick = run.platform.tick_count();
  run.start_packed = pack_date_time(run.start_time);
  open_manifest(run);
  return open_index(run.index, run.platform, run.index_path().c_str(), s.intel_cpu == 0, run.page);
}

namespace {

void print_summary(Run& run) {
  RunCounters& c = run.counters;
  c.cnt_skip_file = c.cnt_skip_nofile + c.cnt_skip_before + c.cnt_skip_cgi + c.cnt_skip_nohttp;
  run.messages.msg_printf(ja::kSummaryFirstFormat, static_cast<int>(c.cnt_cache_file),
                          static_cast<int>(c.cnt_conv_file), static_cast<int>(c.cnt_html_file),
                          static_cast<int>(c.cnt_graphic_file));
  run.messages.msg_printf(ja::kSummarySecondFormat, static_cast<int>(c.cnt_skip_file),
                          static_cast<int>(c.cnt_skip_before), static_cast<int>(c.cnt_skip_nofile),
                          static_cast<int>(c.cnt_skip_nohttp), static_cast<int>(c.cnt_skip_cgi));
  // Only a run that lost copies has the line: every other summary stays as it always was.
  if (c.cnt_copy_failed > 0) {
    run.messages.msg_printf(ja::kSummaryCopyFailedFormat, static_cast<int>(c.cnt_copy_failed));
  }
  run.messages.msg_printf("\n");
}

}  // namespace

void end_run(Run& run) {
  Settings& s = run.settings;
  const bool index_was_open = run.index.is_open();
  close_index(run.index, run.platform);
  if (s.flg_hst_file) {
    OutputContext out = run.output_context();
    if (!run.visits.empty()) run.visits.write(out);
    if (!close_history(out)) run.failed = true;
  }
  if (run.manifest && !write_manifest(run)) run.failed = true;
  run.messages.msg_printf("%s", ja::kEndMessage);

  // Dated directories moved the clock (Windows) or were stamped before files were added to them
  // (POSIX): put both right.
  const uint32_t elapsed = run.platform.tick_count() - run.start_tick;
  run.platform.set_local_time(advance_clock(run.start_time, elapsed));
  restamp_dated_dirs(run.platform, run.dated);

  if (s.flg_history_db) s.flg_result = 0;
  if (s.flg_result) print_summary(run);
  if (run.counters.cnt_copy_failed > 0) run.failed = true;
  if (!run.messages.close_log()) {
    error_line(run.platform, "file can't write '%s'.", s.log_filename);
    run.failed = true;
  }

  // LAST_TIME promises that everything cached before it has been converted: store it only after
  // a real run that took every page, and store the run's start, so that a page cached while the
  // run was going is taken next time; after failed copies, the oldest of their cached times, so
  // that the next run tries them again.
  // A settings file is never made just for it: one holding nothing but LAST_TIME would make every
  // other key of the next run absent, and that run would find no index.
  const bool complete = index_was_open && run.index_read_to_end && s.flg_test == 0;
  if (!s.flg_history_db && complete && file_exists(run.platform, s.sec_profile)) {
    const PackedTime when = std::min(run.start_packed, run.oldest_failed_copy.value_or(~0u));
    if (!store_last_time(run.platform, s, when)) {
      error_line(run.platform, "LAST_TIME can't write '%s'.", s.sec_profile);
      run.failed = true;
    }
  }

  if (s.flg_wait_key) {
    run.messages.msg_printf("%s", ja::kKeyPrompt);
    run.platform.console_flush();
    wait_key(run.platform);
  }
  run.platform.console_flush();
}

}  // namespace volari
