#pragma once
// The edit history: what each user action changed, so that it can be taken
// back (undo) and made again (redo) through the same applier as a typed
// edit.
//
// A step made of edits holds, for every key the action changed (link
// partners included), the value before and after as an edit: undoing applies
// the "before" edits, redoing the "after" edits. A step that replaced the
// whole current setting (a group recall, a preset file load) holds the
// setting image before and after; undoing sends the earlier image back as a
// single-setting write. An A/B switch is its own kind: undoing or redoing it
// switches the slots again.
//
// The steps of one gesture (a marker or fader drag from press to release, a
// spin held down) carry the same gesture number and merge into one; a merged
// step that ends where it started changes nothing and is dropped.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "edits/edits.h"
#include "image/param_image.h"

class CKTV_Data;

// One key's value before and after a step, each as the edit that sets it.
struct KeyChange {
    Edit before;
    Edit after;
};

enum class StepKind {
    Edits,     // typed and dragged edits: keys before and after
    Setting,   // the whole current setting replaced: images before and after
    ABSwitch,  // the A/B comparison switched slots
};

// What a step that replaced the whole setting was.
enum class SettingSource {
    Recall,      // a device group recalled (group 1..6)
    PresetFile,  // a preset file loaded
};

struct HistoryStep {
    StepKind kind = StepKind::Edits;
    // The key the user acted on: it names the step.
    EditKey named;
    std::vector<KeyChange> keys;
    // Setting steps.
    SettingSource source = SettingSource::Recall;
    int group = 0;
    ParamImage imageBefore{};
    ParamImage imageAfter{};
    // Non-zero for the steps of one gesture.
    int gesture = 0;

    // Whether undoing the step would change anything.
    bool Changes() const;
    // Takes a later step of the same gesture into this one: each key keeps
    // its first "before" and takes the later "after"; keys back where they
    // started are dropped. False (nothing merged) for a step of another
    // gesture or kind.
    bool MergeWith(const HistoryStep& later);
    // The edits that put back one side of an edits step: "before" for undo,
    // "after" for redo. Band frequencies and Q are left out for a channel
    // that ends in graphic mode, where the mode conversion sets them.
    std::vector<Edit> EditsFor(bool after) const;
};

// The step's name in the current language: "CH1 band 5 gain", "master
// volume", "recall group 3", "A/B switch".
std::string StepName(const HistoryStep& step);

// Every key the edits can change when applied now: the edited keys on the
// whole link group, both crossover filters of a crossover edit, every band of
// an EQ mode conversion, the master output with the master volume. Call with
// g_csModel held (the link groups are read).
std::vector<EditKey> KeysTouchedBy(const std::vector<Edit>& edits);

// The current value of each key as the edit that sets it; nullopt for a value
// no edit can set (a crossover slope code the family's list has no entry
// for). Call with g_csModel held.
std::vector<std::optional<Edit>> CurrentEdits(const CKTV_Data& model,
                                              const std::vector<EditKey>& keys);

// The step for the values of `keys` read before and after an applied
// command: only the keys whose value changed; named after the command's
// first edit.
HistoryStep MakeEditStep(const std::vector<Edit>& command, const std::vector<EditKey>& keys,
                         const std::vector<std::optional<Edit>>& before,
                         const std::vector<std::optional<Edit>>& after);

// Where a session's steps go: the core's own stack (CEditHistory), or the
// front end's (the desktop's undo stack).
class IHistorySink {
public:
    virtual ~IHistorySink() = default;
    // A new step; steps of the gesture in progress merge with the last one.
    virtual void OnStep(const HistoryStep& step) = 0;
    // The gesture ended: a merged step that changed nothing goes.
    virtual void OnGestureEnded(int /*gesture*/) {}
    // The setting was replaced by the device's (a read-all): no step can be
    // taken back any more.
    virtual void OnHistoryCleared() = 0;
    // The setting was stored in a group or saved in a file: this is the
    // point the window's "changed" mark compares against.
    virtual void OnSettingKept() {}
};

// The core's stack of steps with a position: steps below it can be undone,
// steps above it redone. A new step drops the steps above it.
class CEditHistory final : public IHistorySink {
public:
    void OnStep(const HistoryStep& step) override;
    void OnGestureEnded(int gesture) override;
    void OnHistoryCleared() override;
    void OnSettingKept() override { m_clean = static_cast<std::ptrdiff_t>(m_done); }

    bool CanUndo() const { return m_done > 0; }
    bool CanRedo() const { return m_done < m_steps.size(); }
    // The step an undo (redo) would take back (make again); null when none.
    const HistoryStep* NextUndo() const { return CanUndo() ? &m_steps[m_done - 1] : nullptr; }
    const HistoryStep* NextRedo() const { return CanRedo() ? &m_steps[m_done] : nullptr; }
    // Moves the position; the caller applies the step.
    void StepBack() {
        if (CanUndo()) --m_done;
    }
    void StepForward() {
        if (CanRedo()) ++m_done;
    }

    std::size_t Count() const { return m_steps.size(); }
    std::size_t Position() const { return m_done; }
    const HistoryStep& At(std::size_t i) const { return m_steps[i]; }
    // The setting is the one last stored or saved (or the one read from the
    // device, before any step).
    bool IsClean() const { return m_clean == static_cast<std::ptrdiff_t>(m_done); }

private:
    std::vector<HistoryStep> m_steps;
    std::size_t m_done = 0;
    // -1 once the kept setting's position was dropped by a new branch.
    std::ptrdiff_t m_clean = 0;
};
