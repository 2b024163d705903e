#include "output/copy.h"

#include <cstring>

#include "output/charset_declaration.h"
#include "output/page_convert.h"
#include "output/title.h"
#include "support/disk.h"
#include "support/file_replacement.h"
#include "support/japanese.h"
#include "support/sjis.h"

namespace volari {

namespace {

// A .txt file: no markup, so no declaration to rewrite.
bool is_text_file(std::string_view out_path) {
  const size_t dot = out_path.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string ext(out_path.substr(dot + 1, 3));
  sjis_upper(ext);
  return ext == "TXT";
}

// `bytes` with their links rewritten when there is a rewriter (into `held`, which the result may
// point into); `finish` takes what the rewriter still holds at the end of the page.
std::string_view linked(LinkRewriter* links, std::string_view bytes, std::string& held,
                        bool finish = false) {
  if (links == nullptr) return bytes;
  held.clear();
  if (finish) {
    links->finish(held);
  } else {
    links->rewrite_line(bytes, held);
  }
  return held;
}

constexpr size_t kLinkChunk = 32768;

bool copy_as_text(OutputContext& ctx, const char* cache_path, const char* out_path,
                  FileReplacement& out, const ServerSaid& server, LinkRewriter* links,
                  TitleFinder& title, Charset& charset) {
  OutputState& st = ctx.state;
  const int debug = ctx.settings.flg_debug;
  if (!st.text_in.open_with_head(cache_path, kPageHead, st.head)) return false;
  charset = decide_page_charset(server.charset, server.content_type,
                                reinterpret_cast<const unsigned char*>(st.head.data()),
                                st.text_in.head_size())
                .charset;
  PageConversion conversion(charset);
  DeclarationScan declarations;
  const bool markup = !is_text_file(out_path);
  bool ok = st.text_out.adopt(out.open(out_path), TextMode::write);
  size_t n;
  while (ok && (n = st.text_in.gets(st.copybuf, kCopyBufferSize)) > 0) {
    if (debug >= 3) ctx.messages.verbose_printf("copybuf=%s\n", st.copybuf);
    const size_t converted = convert_page_line(
        conversion, reinterpret_cast<const unsigned char*>(st.copybuf), n, st.converted);
    const char* line = reinterpret_cast<const char*>(st.converted);
    if (debug >= 3) ctx.messages.verbose_printf("cache  =%s\n", line);
    std::string_view written(line, converted);
    if (markup && rewrite_charset_declarations(declarations, charset, st.converted, converted,
                                               st.rewritten) > 0) {
      written = st.rewritten;
    }
    title.see(st.converted, converted);
    if (links != nullptr) {
      st.unlinked.append(written);
      if (st.unlinked.size() < kLinkChunk) continue;
      written = linked(links, st.unlinked, st.linked);
      st.unlinked.clear();
    }
    if (!st.text_out.write(written.data(), written.size())) ok = false;
  }
  if (links != nullptr && ok) {
    std::string_view rest = linked(links, st.unlinked, st.linked);
    if (!st.text_out.write(rest.data(), rest.size())) ok = false;
    rest = linked(links, {}, st.linked, true);
    if (ok && !st.text_out.write(rest.data(), rest.size())) ok = false;
  }
  st.unlinked.clear();
  if (st.text_in.read_failed()) ok = false;
  // The times go on once every byte is out, through the same handles: no second open.
  if (ok && st.text_out.flush()) {
    copy_file_times(ctx.platform, st.text_in.handle(), st.text_out.handle());
  }
  if (st.text_out.is_open() && !st.text_out.close()) ok = false;
  st.text_in.close();
  return ok && out.commit();
}

bool copy_as_binary(OutputContext& ctx, const char* cache_path, const char* out_path,
                    FileReplacement& out, LinkRewriter* links, TitleFinder& title) {
  Platform& p = ctx.platform;
  char* buf = ctx.state.copybuf;
  const FileHandle src = p.open_file(cache_path, FileMode::read_no_link);
  if (src == kNoFile) return false;
  FileHandle dst = out.open(out_path);
  bool ok = dst != kNoFile;
  const int64_t size = ok ? p.file_size(src) : -1;
  if (size < 0) ok = false;
  int64_t remaining = ok ? size : 0;
  while (ok && remaining > 0) {
    const size_t chunk = remaining < static_cast<int64_t>(kCopyBufferSize)
                             ? static_cast<size_t>(remaining)
                             : kCopyBufferSize;
    if (p.read_file(src, buf, chunk) != static_cast<long>(chunk)) {
      ok = false;
      break;
    }
    const std::string_view written = linked(links, {buf, chunk}, ctx.state.linked);
    if (p.write_file(dst, written.data(), written.size()) != static_cast<long>(written.size())) {
      ok = false;
      break;
    }
    title.see(reinterpret_cast<const unsigned char*>(buf), chunk);
    remaining -= static_cast<int64_t>(chunk);
  }
  const std::string_view rest = linked(links, {}, ctx.state.linked, true);
  if (ok && !rest.empty() &&
      p.write_file(dst, rest.data(), rest.size()) != static_cast<long>(rest.size())) {
    ok = false;
  }
  // The times go on after the last write, through the same handle: no second open.
  if (ok) copy_file_times(p, src, dst);
  if (dst != kNoFile && !p.close_file(dst)) ok = false;
  p.close_file(src);
  return ok && out.commit();
}

}  // namespace

CopyResult copy_cache_file(OutputContext& ctx, const EntryFlags& flags, const char* cache_path,
                           const char* out_path, const ServerSaid& server, LinkRewriter* links) {
  if (ctx.settings.flg_debug >= 1) {
    ctx.messages.verbose_printf("%s -> %s\n", path_for_display(cache_path).c_str(),
                                path_for_display(out_path).c_str());
  }
  TitleFinder title((ctx.settings.flg_hst_type & 1) != 0 || ctx.settings.flg_manifest != 0);
  const bool text = !flags.graphic && ctx.settings.flg_shiftjis != 0;
  CopyResult result;
  FileReplacement out(ctx.platform);  // removes what a failed copy wrote
  result.ok =
      text ? copy_as_text(ctx, cache_path, out_path, out, server, links, title, result.charset)
           : copy_as_binary(ctx, cache_path, out_path, out, links, title);
  if (!result.ok)
    ctx.messages.msg_printf(ja::kCopyFailedFormat, path_for_display(out_path).c_str());
  result.title = title.title();
  return result;
}

}  // namespace volari
