#include "transfers/UDownResume.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "platform/UAtomicFile.h"

namespace vantori {

namespace {

std::string IndexPath(const std::string& folder) {
  std::string f = folder;
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  return f + "/" + kDownIndexName;
}

// Names are stored with tabs, newlines and backslashes escaped.
std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\t')
      out += "\\t";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else
      out += c;
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char n = text[++i];
      out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct TLine {
  std::string Name;
  TDownMark Mark;
};

std::vector<TLine> ReadIndex(const std::string& folder) {
  std::vector<TLine> lines;
  std::ifstream in(IndexPath(folder), std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string name, state;
    TLine entry;
    if (!std::getline(fields, name, '\t')) continue;
    if (!(fields >> entry.Mark.FileSeq >> entry.Mark.StoredFileSeq >> entry.Mark.TotalSize >> state >>
          entry.Mark.Size >> entry.Mark.MtimeNs))
      continue;  // a damaged line is only a lost hint: the file is then treated as foreign
    entry.Name = Unescape(name);
    entry.Mark.Complete = state == "D";
    lines.push_back(std::move(entry));
  }
  return lines;
}

bool WriteIndex(const std::string& folder, const std::vector<TLine>& lines) {
  std::string content;
  for (const TLine& l : lines) {
    content += Escape(l.Name) + "\t" + std::to_string(l.Mark.FileSeq) + " " +
               std::to_string(l.Mark.StoredFileSeq) + " " + std::to_string(l.Mark.TotalSize) + " " +
               (l.Mark.Complete ? "D" : "P") + " " + std::to_string(l.Mark.Size) + " " +
               std::to_string(l.Mark.MtimeNs) + "\n";
  }
  try {
    WriteFileAtomically(IndexPath(folder), content);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

std::optional<TDownMark> LoadDownMark(const std::string& folder, const std::string& localName) {
  for (const TLine& l : ReadIndex(folder))
    if (l.Name == localName) return l.Mark;
  return std::nullopt;
}

bool SaveDownMark(const std::string& folder, const std::string& localName, const TDownMark& mark) {
  std::vector<TLine> lines = ReadIndex(folder);
  bool found = false;
  for (TLine& l : lines)
    if (l.Name == localName) {
      l.Mark = mark;
      found = true;
    }
  if (!found) lines.push_back({localName, mark});
  return WriteIndex(folder, lines);
}

bool EraseDownMark(const std::string& folder, const std::string& localName) {
  std::vector<TLine> lines = ReadIndex(folder);
  std::vector<TLine> kept;
  for (TLine& l : lines)
    if (l.Name != localName) kept.push_back(std::move(l));
  if (kept.size() == lines.size()) return true;
  return WriteIndex(folder, kept);
}

bool MarkComplete(const std::string& path, TDownMark& mark) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  mark.Complete = true;
  mark.Size = st.st_size;
  mark.MtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

TResumeAction DecideResume(const TResumeInput& in) {
  if (!in.Exists) return TResumeAction::Fresh;
  const bool ours = in.Mark && in.Mark->FileSeq == in.FileSeq && in.Mark->StoredFileSeq == in.StoredFileSeq &&
                    in.Mark->TotalSize == in.TotalSize;
  if (in.Overwrite) return TResumeAction::Fresh;
  if (!ours) return in.LocalSize == 0 && !in.Mark ? TResumeAction::Fresh : TResumeAction::Rename;
  if (in.Mark->Complete) {
    if (in.LocalSize == in.TotalSize && in.Mark->Size == in.LocalSize && in.Mark->MtimeNs == in.LocalMtimeNs)
      return TResumeAction::AlreadyDone;
    return TResumeAction::Rename;  // changed since it was downloaded
  }
  if (in.LocalSize < in.TotalSize) return TResumeAction::Resume;
  return TResumeAction::Rename;  // longer than the item: not what we wrote
}

TResumeInput ResumeInputFor(const std::string& path, std::int32_t fileSeq, std::int32_t storedFileSeq,
                            std::int64_t totalSize, bool overwrite) {
  TResumeInput in;
  in.FileSeq = fileSeq;
  in.StoredFileSeq = storedFileSeq;
  in.TotalSize = totalSize;
  in.Overwrite = overwrite;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    in.Exists = true;
    in.LocalSize = st.st_size;
    in.LocalMtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  }
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  in.Mark = LoadDownMark(folder, name);
  return in;
}

}  // namespace vantori
