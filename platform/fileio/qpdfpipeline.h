#pragma once

// The end of QPDF's output pipeline for the libraries that write PDFs through QPDF: every
// byte goes into an AtomicWriter, and a failed write stops QPDF with the writer's own error.

#include "platform/fileio/atomicwriter.h"

#include <qpdf/Pipeline.hh>
#include <stdexcept>

namespace fileio {

class AtomicWriterPipeline final : public Pipeline {
public:
    explicit AtomicWriterPipeline(AtomicWriter& file) : Pipeline("output", nullptr), m_file(file) {}
    void write(unsigned char const* data, size_t len) override {
        if (!m_file.write(data, len)) throw std::runtime_error(m_file.errorString().toStdString());
    }
    void finish() override {}

private:
    AtomicWriter& m_file;
};

} // namespace fileio
