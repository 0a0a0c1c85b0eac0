#pragma once

#include "EventList.h"
#include "ReportSink.h"

#include <memory>
#include <string>
#include <vector>

namespace tramex {

// The seven callback pointers and seven events of the component, and the
// rule that joins them: a report goes to the callback pointer when one is
// set, else to every handler of the event; never both. Both interfaces of
// the component (QString and std::string) derive from it with their own
// string and match types; "Owner" is the deriving class, which handlers
// receive.
//
// A copy takes the callback pointers but no handlers: handlers belong to
// the object they were subscribed to.
template <class Owner, class String, class Match>
class EventSet
{
public:
    using MatchList = std::vector<Match>;
    using MatchingCallback = void (*)(Owner*, const MatchList&, unsigned line, unsigned lineStart);
    using SearchingCallback = MatchingCallback;
    using GreppingCallback = void (*)(Owner*, const MatchList&, unsigned line, unsigned lineStart, bool& proceed);
    using MergingCallback = GreppingCallback;
    using GreppingFilesCallback = void (*)(Owner*, String fileName, const MatchList&, unsigned line, bool& proceed);
    using ChangingFilesCallback = GreppingFilesCallback;
    using FindingFilesCallback = void (*)(Owner*, String fileName, bool& proceed);

    EventSet() = default;
    EventSet(const EventSet& other) : m_callbacks(other.m_callbacks) {}
    EventSet& operator=(const EventSet& other)
    {
        m_callbacks = other.m_callbacks;
        return *this;
    }

    void SetOnMatching(MatchingCallback callback) { m_callbacks.matching = callback; }
    MatchingCallback GetOnMatching() const { return m_callbacks.matching; }
    void SetOnSearching(SearchingCallback callback) { m_callbacks.searching = callback; }
    SearchingCallback GetOnSearching() const { return m_callbacks.searching; }
    void SetOnGrepping(GreppingCallback callback) { m_callbacks.grepping = callback; }
    GreppingCallback GetOnGrepping() const { return m_callbacks.grepping; }
    void SetOnMerging(MergingCallback callback) { m_callbacks.merging = callback; }
    MergingCallback GetOnMerging() const { return m_callbacks.merging; }
    void SetOnGreppingFiles(GreppingFilesCallback callback) { m_callbacks.greppingFiles = callback; }
    GreppingFilesCallback GetOnGreppingFiles() const { return m_callbacks.greppingFiles; }
    void SetOnChangingFiles(ChangingFilesCallback callback) { m_callbacks.changingFiles = callback; }
    ChangingFilesCallback GetOnChangingFiles() const { return m_callbacks.changingFiles; }

    // Removes every handler that "receiver" subscribed, from all seven events.
    void RemoveAllEventHandlers(const void* receiver)
    {
        OnMatching.RemoveAll(receiver);
        OnSearching.RemoveAll(receiver);
        OnGrepping.RemoveAll(receiver);
        OnMerging.RemoveAll(receiver);
        OnChangingFiles.RemoveAll(receiver);
        OnGreppingFiles.RemoveAll(receiver);
        OnFindFiles.RemoveAll(receiver);
    }

    EventList<Owner*, const MatchList&, unsigned, unsigned> OnMatching;
    EventList<Owner*, const MatchList&, unsigned, unsigned> OnSearching;
    EventList<Owner*, const MatchList&, unsigned, unsigned, bool&> OnGrepping;
    EventList<Owner*, const MatchList&, unsigned, unsigned, bool&> OnMerging;
    EventList<Owner*, String, const MatchList&, unsigned, bool&> OnChangingFiles;
    EventList<Owner*, String, const MatchList&, unsigned, bool&> OnGreppingFiles;
    EventList<Owner*, String, bool&> OnFindFiles;

protected:
    struct Callbacks
    {
        MatchingCallback matching = nullptr;
        SearchingCallback searching = nullptr;
        GreppingCallback grepping = nullptr;
        GreppingFilesCallback greppingFiles = nullptr;
        FindingFilesCallback findingFiles = nullptr;
        MergingCallback merging = nullptr;
        ChangingFilesCallback changingFiles = nullptr;
    };

    // Hands the core's reports to the callbacks and events, converted by
    // "Converter", which gives:
    //   SubjectParts(const MatchVector&): a match in the string to match;
    //   FileParts(const MatchVector&): a match in a file;
    //   FileName(const std::string&): a file's name.
    template <class Converter>
    class Sink final : public ReportSink
    {
    public:
        Sink(EventSet& events, const Converter& convert) : m_events(events), m_convert(convert) {}

        bool WantsReport(ReportKind kind) const override { return m_events.wants(kind); }

        void ReportMatch(ReportKind kind, const MatchVector& parts, unsigned line, unsigned lineStart) override
        {
            const auto& matches = m_convert.SubjectParts(parts);
            if (kind == ReportKind::Searching)
                CallbackOrEvent(m_events.m_callbacks.searching, m_events.OnSearching, owner(), matches, line,
                                lineStart);
            else
                CallbackOrEvent(m_events.m_callbacks.matching, m_events.OnMatching, owner(), matches, line,
                                lineStart);
        }

        void ReportGrep(ReportKind kind, const MatchVector& parts, unsigned line, unsigned lineStart,
                        bool& proceed) override
        {
            const auto& matches = m_convert.SubjectParts(parts);
            if (kind == ReportKind::Merging)
                CallbackOrEvent(m_events.m_callbacks.merging, m_events.OnMerging, owner(), matches, line,
                                lineStart, proceed);
            else
                CallbackOrEvent(m_events.m_callbacks.grepping, m_events.OnGrepping, owner(), matches, line,
                                lineStart, proceed);
        }

        void ReportFileMatch(ReportKind kind, const std::string& fileName, const MatchVector& parts,
                             unsigned line, bool& proceed) override
        {
            const auto& matches = m_convert.FileParts(parts);
            // A file's matches come one after another: its name is converted
            // once. (Made at the first report: most runs report no file.)
            if (!m_file || fileName != m_file->name)
                m_file = std::make_unique<File>(File{fileName, m_convert.FileName(fileName)});
            const String& name = m_file->converted;
            if (kind == ReportKind::ChangingFiles)
                CallbackOrEvent(m_events.m_callbacks.changingFiles, m_events.OnChangingFiles, owner(), name,
                                matches, line, proceed);
            else
                CallbackOrEvent(m_events.m_callbacks.greppingFiles, m_events.OnGreppingFiles, owner(), name,
                                matches, line, proceed);
        }

        void ReportFile(const std::string& fileName, bool& proceed) override
        {
            CallbackOrEvent(m_events.m_callbacks.findingFiles, m_events.OnFindFiles, owner(),
                            m_convert.FileName(fileName), proceed);
        }

    private:
        Owner* owner() const { return static_cast<Owner*>(&m_events); }

        struct File
        {
            std::string name;
            String converted;
        };

        EventSet& m_events;
        const Converter& m_convert;
        std::unique_ptr<File> m_file;
    };

    Callbacks m_callbacks;

private:
    bool wants(ReportKind kind) const
    {
        switch (kind) {
        case ReportKind::Matching: return m_callbacks.matching || !OnMatching.IsEmpty();
        case ReportKind::Searching: return m_callbacks.searching || !OnSearching.IsEmpty();
        case ReportKind::Grepping: return m_callbacks.grepping || !OnGrepping.IsEmpty();
        case ReportKind::Merging: return m_callbacks.merging || !OnMerging.IsEmpty();
        case ReportKind::GreppingFiles: return m_callbacks.greppingFiles || !OnGreppingFiles.IsEmpty();
        case ReportKind::ChangingFiles: return m_callbacks.changingFiles || !OnChangingFiles.IsEmpty();
        case ReportKind::FindingFiles: return m_callbacks.findingFiles || !OnFindFiles.IsEmpty();
        }
        return false;
    }
};

} // namespace tramex
