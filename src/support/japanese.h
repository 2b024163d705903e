// The program's Japanese texts, as the Shift-JIS bytes it writes. Each is shown in a comment as
// it reads; the bytes are escaped so that every compiler builds the same program.
#pragma once

namespace volari::ja {

extern const char kBannerFormat[];
extern const char kBannerEdition[];
extern const char kTargetHostFormat[];
extern const char kEndMessage[];
extern const char kSummaryFirstFormat[];
extern const char kSummarySecondFormat[];
extern const char kSummaryCopyFailedFormat[];
extern const char kKeyPrompt[];
extern const char kCopyFailedFormat[];
extern const char kSectionHeaderFormat[];

}  // namespace volari::ja
