// libFuzzer target: any bytes as a CSV table for "plot": parsed, then every field read as
// a number. A refusal is fine; an accepted table must have as many fields in each row as
// columns.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "matrix/Error.h"
#include "plot/Table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tesora;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    plot::Table table;
    try {
        table = plot::ParseTable(bytes, QStringLiteral("fuzz.csv"));
    } catch (const Error&) {
        return 0;
    }
    if (table.rows.size() != table.lines.size()) {
        std::fprintf(stderr, "wrong result: %zu rows, %zu line numbers\n", table.rows.size(), table.lines.size());
        std::abort();
    }
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        if (table.rows[r].size() != table.columns.size()) {
            std::fprintf(stderr, "wrong result: row %zu has %lld fields for %lld columns\n", r,
                         static_cast<long long>(table.rows[r].size()), static_cast<long long>(table.columns.size()));
            std::abort();
        }
        for (int c = 0; c < static_cast<int>(table.columns.size()); ++c) {
            try {
                table.Number(r, c);
            } catch (const Error&) {
            }
        }
    }
    return 0;
}
