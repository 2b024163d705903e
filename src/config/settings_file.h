// The settings file VOLARI.INI: loading it into the Settings record, the settings dump, and the
// LAST_TIME write-back.
#pragma once

#include "config/settings.h"
#include "platform/platform.h"
#include "support/messages.h"
#include "support/packed_time.h"

namespace volari {

extern const char kSettingsFileName[];  // "VOLARI.INI"

// Called once, before the command line. Sets program_dir (arg_start) and sec_profile =
// program_dir + "\" + "VOLARI.INI", made absolute from the current directory when program_dir is
// relative (neither '\' first nor ':' second), so that this one file serves the whole run even
// after OUTDIR has changed the current directory. When the current directory cannot be read or the
// full name does not fit, sec_profile stays relative; when program_dir is unknown (empty),
// sec_profile is empty and no settings file is used. Empties domain_table (domain_count 0). Without
// a readable settings file every field keeps its default. Otherwise: [DOS32] DIR, OPTION, DOMAIN
// name the sections of the other keys; every key is one profile_get, in table order, with the
// results for a missing key that the key tables fix. Path values (FATNAME, OUTDIR, HISTORY, LOG)
// are taken in native form. OUTDIR without a drive letter changes the current directory for the
// whole run when it exists (else see enter_out_directory). The program's folder is that of
// Platform::program_file. Nothing is printed.
void load_settings(Platform& platform, Settings& settings, int argc, char** argv);

// The settings trace, line by line through verbose_printf; prints nothing when flg_debug is 0.
void dump_settings(const Settings& settings, Messages& messages);

// Stores `when` as "YYYY/MM/DD hh:mm" under LAST_TIME in section sec_dir of sec_profile (nothing
// to do when sec_profile is empty). False when it could not: the file is then as it was.
bool store_last_time(Platform& platform, const Settings& settings, PackedTime when);

// Makes OUTDIR the run's output folder: a missing one is made with its parents and entered (a
// drive-letter one is made, not entered). False when it cannot be made or entered, or the value
// cannot be used (out_dir_state): nothing may be written then.
bool enter_out_directory(Platform& platform, Settings& settings);

// LAST_TIME text to a packed date-time: year ('/' month ('/' day (' ' hour (':' minute)))), each
// read as a number; a missing part is 0; year - 1980 keeps its low 7 bits; seconds 0.
PackedTime parse_last_time(const char* text);

}  // namespace volari
