// Items handed over while the document is read: which sequences are taken, what the tree keeps,
// and that held items stay whole (anchors and merges across items included) until their leases
// come back.
#include <gtest/gtest.h>

#include "support/show_node.hpp"

#include <algorithm>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "tarnwick/yaml/item_stream.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::yaml {
namespace {

using testing::show;

// Follows path patterns ("a/*/b": key a, any item, key b) and takes the items of the sequences
// that `taken` names. Holds up to `hold` leases (or until the held items read `nodes` nodes), then
// records the held items as shown while still valid, and returns their leases last to first.
class RecordingStream final : public ItemStream {
 public:
  RecordingStream(std::vector<std::string> taken, std::size_t hold = 0,
                  std::size_t nodes = SIZE_MAX)
      : hold_(hold), nodes_(nodes) {
    for (const std::string& t : taken) {
      taken_.insert(t);
      for (std::size_t cut = 0; cut != std::string::npos; cut = t.find('/', cut + 1)) {
        followed_.insert(t.substr(0, cut));
      }
      followed_.insert(t);
    }
  }

  Place root_place() override { return find(""); }
  Place key_place(Place map, std::string_view key) override {
    const std::string& at = name(map);
    return find(at.empty() ? std::string(key) : at + "/" + std::string(key));
  }
  Place item_place(Place seq) override { return find(name(seq) + "/*"); }
  bool takes_items(Place seq) override { return taken_.count(name(seq)) != 0; }

  void take(const TakenItem& item, ItemLease lease) override {
    EXPECT_TRUE(item.seq.is_seq());
    EXPECT_EQ(item.path.back().index, item.index);
    std::string where;
    for (const PathStep& s : item.path) {
      where += s.is_index ? std::to_string(s.index) : std::string(s.key);
      where += '/';
    }
    held_.push_back({where, &item.node});
    leases_.push_back(std::move(lease));
    if (held_.size() > hold_ || item.region_nodes >= nodes_) release();
  }
  void end_of_items(const Node& seq, Place seq_place) override {
    EXPECT_TRUE(seq.is_seq());
    EXPECT_TRUE(takes_items(seq_place));
    if (!keep_at_end) release();
  }

  std::vector<std::string> taken;
  bool keep_at_end = false;  // a faulty consumer: leases still out at the sequence's end

 private:
  struct Held {
    std::string where;
    const Node* node;
  };
  const std::string& name(Place p) const { return *static_cast<const std::string*>(p); }
  Place find(const std::string& s) const {
    auto it = followed_.find(s);
    return it == followed_.end() ? nullptr : &*it;
  }
  void release() {
    for (const Held& h : held_) taken.push_back(h.where + " " + show(*h.node));
    held_.clear();
    while (!leases_.empty()) leases_.pop_back();
  }

  std::set<std::string> followed_, taken_;
  std::size_t hold_, nodes_;
  std::vector<Held> held_;
  std::vector<ItemLease> leases_;
};

TEST(ItemStream, TakesItemsOfChosenSequencesOnly) {
  struct Case {
    std::string_view yaml;
    std::vector<std::string> taken;
    std::string_view tree;  // show() of the root afterwards
  };
  const Case cases[] = {
      {"{a: [1, {x: y}, [2]], c: [3]}",
       {"a/0/ 1", "a/1/ {\"x\": \"y\"}", "a/2/ [2]"},
       "{\"a\": [null, null, null], \"c\": [3]}"},
      // Nested: the inner list's items first, each as it closes; then the outer item.
      {"{a: [{b: [1, {z: 2}]}]}",
       {"a/0/b/0/ 1", "a/0/b/1/ {\"z\": 2}", "a/0/ {\"b\": [null, null]}"},
       "{\"a\": [null]}"},
      // An anchor inside a taken item still stands for its whole content.
      {"{a: [{k: &x [1, {m: n}]}, {k: *x}], c: *x}",
       {"a/0/ {\"k\": [1, {\"m\": \"n\"}]}", "a/1/ {\"k\": [1, {\"m\": \"n\"}]}"},
       "{\"a\": [null, null], \"c\": [1, {\"m\": \"n\"}]}"},
      {"{a: [&i {p: q}, *i, {<<: *i, r: s}], c: *i}",
       {"a/0/ {\"p\": \"q\"}", "a/1/ {\"p\": \"q\"}", "a/2/ {\"p\": \"q\", \"r\": \"s\"}"},
       "{\"a\": [null, null, null], \"c\": {\"p\": \"q\"}}"},
      // Not chosen: an anchored list, a list inside an anchored collection, another tag, a merge.
      {"{a: &l [1], c: *l}", {}, "{\"a\": [1], \"c\": [1]}"},
      {"{a: [&i {b: [1]}]}", {"a/0/ {\"b\": [1]}"}, "{\"a\": [null]}"},
      {"{a: !!omap [{k: 1}]}", {}, "{\"a\": [{\"k\": 1}]}"},
      {"{<<: {a: [1]}}", {}, "{\"a\": [1]}"},
      {"[{a: [1]}]", {}, "[{\"a\": [1]}]"},
      {"{\"a\": !!seq [1], b: [2]}", {"a/0/ 1"}, "{\"a\": [null], \"b\": [2]}"},
  };
  // Leases returned at once, or held across items (and across the nested list).
  for (std::size_t hold : {0, 2}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.yaml) + " holding " + std::to_string(hold));
      RecordingStream stream({"a", "a/*/b"}, hold);
      Document doc = read_string(c.yaml, "<string>", &stream);
      EXPECT_EQ(stream.taken, c.taken);
      EXPECT_EQ(show(doc.root()), c.tree);
    }
  }
}

// The reader asks only below followed places, never under a merge key nor for a key that is not
// a string, and only about collections.
TEST(ItemStream, AsksOnlyWhereItMay) {
  struct FollowAll final : ItemStream {
    Place root_place() override { return this; }
    Place key_place(Place map, std::string_view key) override {
      asked.push_back(std::string(key));
      return key == "skip" ? nullptr : map;
    }
    Place item_place(Place seq) override {
      asked.push_back("*");
      return seq;
    }
    bool takes_items(Place) override { return false; }
    void take(const TakenItem&, ItemLease) override { ADD_FAILURE(); }
    void end_of_items(const Node&, Place) override { ADD_FAILURE(); }
    std::vector<std::string> asked;
  } stream;
  read_string("{<<: {a: [1]}, 1: [2], s: x, b: {c: [[3], y]}, skip: {d: [4]}, e: !!omap []}",
              "<string>", &stream);
  EXPECT_EQ(stream.asked, (std::vector<std::string>{"b", "c", "*", "*", "skip", "e", "*"}));
}

// Items read into reused memory: many large items with anchors, each later aliased, stay whole.
TEST(ItemStream, KeptAnchorsSurviveTheReuseOfLaterItems) {
  std::string text = "a:\n";
  std::string refs = "c: [";
  for (int i = 0; i < 200; ++i) {
    text += "  - {n: " + std::to_string(i) + ", v: &v" + std::to_string(i) + " [x" +
            std::to_string(i) + ", {y: " + std::to_string(i) + "}]}\n";
    refs += (i ? ", *v" : "*v") + std::to_string(i);
  }
  for (std::size_t hold : {0, 7}) {
    RecordingStream stream({"a"}, hold);
    Document doc = read_string(text + refs + "]\n", "<string>", &stream);
    ASSERT_EQ(stream.taken.size(), 200U);
    const Node* c = doc.root().find("c");
    ASSERT_NE(c, nullptr);
    for (int i = 0; i < 200; ++i) {
      std::string n = std::to_string(i);
      EXPECT_EQ(show(*c->items()[static_cast<std::size_t>(i)]),
                "[\"x" + n + "\", {\"y\": " + n + "}]");
    }
  }
}

// A consumer that holds up to 16 leases, fewer once their items read 2,048 nodes: each item still
// comes in order, with its own index, whole (aliases to anchors of the items before it, in the
// same batch or an earlier one, included), and large items end a batch early.
TEST(ItemStream, HeldItemsStayWholeWithAnchorsAcrossBatches) {
  std::string text = "a:\n";
  std::vector<std::string> want;
  std::string big = "[";
  for (int k = 0; k < 3000; ++k) big += (k ? ", " : "") + std::to_string(k);
  big += "]";
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    const std::string prev = std::to_string(i - 1);
    text += "  - {n: " + n + ", v: &v" + n + " [x" + n + "]";
    // Merged keys come first.
    std::string shown = i > 0 ? "{\"m\": [\"x" + prev + "\"], " : "{";
    shown += "\"n\": " + n + ", \"v\": [\"x" + n + "\"]";
    if (i > 0) {
      text += ", p: *v" + prev + ", <<: {m: *v" + prev + "}";
      shown += ", \"p\": [\"x" + prev + "\"]";
    }
    if (i == 20 || i == 21) {
      text += ", big: " + big;
      shown += ", \"big\": " + big;
    }
    text += "}\n";
    want.push_back("a/" + n + "/ " + shown + "}");
  }
  text += "c: *v39\n";
  RecordingStream stream({"a"}, 15, 2048);
  Document doc = read_string(text, "<string>", &stream);
  ASSERT_EQ(stream.taken.size(), want.size());
  // Compared without the blanks that show() puts after commas of the long list.
  auto squeeze = [](std::string s) {
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    return s;
  };
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(squeeze(stream.taken[i]), squeeze(want[i])) << "item " << i;
  }
  const Node* a = doc.root().find("a");
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->size(), 40U);
  for (const Node* item : a->items()) EXPECT_TRUE(item->is_null());
  EXPECT_EQ(show(*doc.root().find("c")), "[\"x39\"]");
}

// Leases still held when the read stops: after a fault, or kept past the sequence's end (a
// programming error). Returning them afterwards touches nothing of the dead reader.
TEST(ItemStream, LeasesOutliveAFailedRead) {
  struct Case {
    std::string_view yaml;
    bool keep_at_end;
    std::string_view error;
  };
  const Case cases[] = {
      {"a:\n  - {x: &x [1]}\n  - {y: 2}\n  - {z: *nope}\n", false, "undefined alias"},
      {"a:\n  - {x: 1}\n  - {y: [2\n", false, "while parsing"},
      {"a:\n  - {x: 1}\n  - {y: 2}\nb: 3\n", true, "still leased"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.yaml);
    auto stream = std::make_unique<RecordingStream>(std::vector<std::string>{"a"}, 100);
    stream->keep_at_end = c.keep_at_end;
    try {
      read_string(c.yaml, "<string>", stream.get());
      ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
      EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
      EXPECT_EQ(dynamic_cast<const std::logic_error*>(&e) != nullptr, c.keep_at_end);
    }
    stream.reset();  // returns the leases
  }
}

}  // namespace
}  // namespace tarnwick::yaml
