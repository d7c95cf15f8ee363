// Filling the file list and the folder tree from listing replies: a folder of 10,000 files,
// and a tree of 2,048 folders.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "folders/UReplyHandlers.h"
#include "folders/UWait.h"
#include "settings/UClientConfig.h"
#include "settings/UFunction.h"
#include "settings/UMoneyInfo.h"

namespace {

using namespace vantori;

class NoView : public IWaitView {
 public:
  void ShowStatusText(const ByteString&) override {}
  void ShowWaitWindow(const ByteString&) override {}
  void CloseWaitWindow() override {}
  void RunLoopUntil(const std::function<bool()>&) override {}
  void ShowWaitError(const ByteString&) override {}
};

class NoWindow : public IFolderWindow {
 public:
  void ShowError(const ByteString&) override {}
  void ShowInformation(const ByteString&) override {}
  void SetStatusText(const ByteString&) override {}
};

struct Client {
  NoView View;
  NoWindow Window;
  TClientConfig Config;
  TMoneyInfo Money;
  TWaitControl Wait{View};
  TMyFolder Tree;
  TFriendFolder Friends;
  TMyListView List;
  TFriendListView FriendList;
  TFolderReplies Replies{Tree, Friends, List, FriendList, Config, Money, Wait, Window};
  Client() {
    Tree.ShowClubs = false;
    Tree.Build();
    Friends.Build();
    List.LoadImages();
  }
  TTreeNode* Mine() { return Tree.Root(0)->Item(0); }
};

TDataParameter FilesReply(std::int32_t handle, int files) {
  TDataParameter m;
  m.AddInteger("T", 582);
  m.AddInteger("Hdl", handle);
  for (int i = 0; i < files; ++i) {
    m.AddInteger("", 1);
    m.AddInteger("", 1000 + i);
    m.AddString("", "file" + std::to_string((i * 7919) % files) + (i % 3 ? ".txt" : ".jpg"));
    m.AddInteger("", 1000LL * i);
    m.AddInteger("", 1000LL * i);
    m.AddInteger("", -1);
    m.AddString("", "");
    m.AddString("", "");
    m.AddInteger("", i % 60);
    m.AddString("", "");
    m.AddReal("", 45000.0);
    m.AddInteger("", 9);
    m.AddString("", "");
    m.AddInteger("", i);
  }
  return m;
}

TDataParameter FoldersReply(std::int32_t handle, int folders) {
  TDataParameter m;
  m.AddInteger("T", 582);
  m.AddInteger("Hdl", handle);
  const std::string noPassword = ScrambleText("");
  for (int i = 0; i < folders; ++i) {
    m.AddInteger("", 0);
    m.AddInteger("", 1 + i);
    m.AddString("", "folder" + std::to_string((i * 7919) % folders));
    m.AddInteger("", -1);
    m.AddString("", i % 2 ? "T" : "F");
    m.AddString("", "");
    m.AddString("", "");
    m.AddString("", noPassword);
  }
  return m;
}

void BM_FileListFromReply(benchmark::State& state) {
  Client c;
  const TDataParameter reply = FilesReply(c.Mine()->Data->Handle(), static_cast<int>(state.range(0)));
  for (auto _ : state) {
    c.Replies.Dispatch(reply);
    benchmark::DoNotOptimize(c.List.Count());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FileListFromReply)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_FolderTreeFromReply(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto c = std::make_unique<Client>();
    const TDataParameter reply = FoldersReply(c->Mine()->Data->Handle(), static_cast<int>(state.range(0)));
    state.ResumeTiming();
    c->Replies.Dispatch(reply);
    benchmark::DoNotOptimize(c->Tree.NodeCount());
    state.PauseTiming();
    c.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FolderTreeFromReply)->Arg(2048)->Unit(benchmark::kMillisecond);

void BM_SortFileList(benchmark::State& state) {
  Client c;
  c.Replies.Dispatch(FilesReply(c.Mine()->Data->Handle(), static_cast<int>(state.range(0))));
  int column = 0;
  for (auto _ : state) {
    c.List.ColumnClick(column);
    column = (column + 1) % 3;
  }
}
BENCHMARK(BM_SortFileList)->Arg(10000)->Unit(benchmark::kMillisecond);

// Deleting a subtree of 2,048 folders (a deep chain) with its records.
void BM_DeleteFolderTree(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TMyFolder tree;
    tree.Build();
    TTreeNode* parent = tree.Root(0)->Item(0);
    TTreeNode* top = nullptr;
    for (int i = 0; i < state.range(0); ++i) {
      TFolderItem* rec = nullptr;
      TTreeNode* n = tree.AddNode(i % 8 == 0 || !parent ? tree.Root(0)->Item(0) : parent, "f", 0, &rec);
      rec->Seq = i + 1;
      if (!top) top = n;
      parent = i % 8 == 0 ? n : parent;
    }
    state.ResumeTiming();
    tree.DeleteChildren(tree.Root(0)->Item(0));
    benchmark::DoNotOptimize(tree.Folders.Count());
  }
}
BENCHMARK(BM_DeleteFolderTree)->Arg(2048)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  char home[] = "/tmp/vantori-bench-XXXXXX";
  if (::mkdtemp(home)) ::setenv("VANTORI_HOME", home, 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(home, ec);
  return 0;
}
