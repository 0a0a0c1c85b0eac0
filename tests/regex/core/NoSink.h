#pragma once

#include "ReportSink.h"

// A sink that asks for no report: a run that reports anyway is a fault the
// tests see.
class NoSink : public tramex::ReportSink
{
public:
    bool WantsReport(tramex::ReportKind) const override { return false; }
    void ReportMatch(tramex::ReportKind, const tramex::MatchVector&, unsigned, unsigned) override {}
    void ReportGrep(tramex::ReportKind, const tramex::MatchVector&, unsigned, unsigned, bool&) override {}
    void ReportFileMatch(tramex::ReportKind, const std::string&, const tramex::MatchVector&, unsigned,
                         bool&) override
    {
    }
    void ReportFile(const std::string&, bool&) override {}
};
