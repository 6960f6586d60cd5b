#pragma once

// A row sink that keeps the built rows in memory: the benchmark's "grid", and the tests'.

#include "search/filerowbuilder.h"
#include "search/filesearch.h"

#include <deque>

namespace filesearch {

class FileRowCollector : public FileRowSink {
public:
    explicit FileRowCollector(FileRowBuilder& builder) : m_builder(builder) {}

    void AddFileRow(const QString& folder, const FindData& file) override {
        m_rows.push_back(m_builder.build(folder, file));
    }

    const std::deque<FileRow>& rows() const { return m_rows; }

private:
    FileRowBuilder& m_builder;
    std::deque<FileRow> m_rows; // grows without moving the rows already built
};

} // namespace filesearch
