// The rows of tests/scenarios.txt: how a run ends when the simulated device misbehaves.
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

struct SScenario {
    std::vector<std::string> options;   // --sim-* options, K replaced
    std::string lastPrompt;             // what a patient user sees last
    std::optional<std::int32_t> status; // left in the status file
    std::string outcome;                // of an unattended run
    int exitStatus = 0;
    std::string says; // a line an unattended run's output holds
};

/// Every row, with K replaced by inK.
inline std::vector<SScenario> ReadScenarios(unsigned inK) {
    std::vector<SScenario> rows;
    std::ifstream file(VYR_SCENARIOS);
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> fields;
        for (std::size_t from = 0;;) {
            const std::size_t bar = line.find(" | ", from);
            std::string field = line.substr(from, bar - from);
            field.erase(0, field.find_first_not_of(' '));
            field.erase(field.find_last_not_of(' ') + 1);
            fields.push_back(field);
            if (bar == std::string::npos) {
                break;
            }
            from = bar + 3;
        }
        if (fields.size() != 6) {
            throw std::runtime_error(std::string(VYR_SCENARIOS) + ": not six fields: " + line);
        }
        SScenario row;
        std::istringstream options(fields[0] == "-" ? "" : fields[0]);
        for (std::string word; options >> word;) {
            row.options.push_back(word == "K" ? std::to_string(inK) : word);
        }
        row.lastPrompt = fields[1];
        if (fields[2] != "-") {
            row.status = std::stoi(fields[2]);
        }
        row.outcome = fields[3];
        row.exitStatus = std::stoi(fields[4]);
        row.says = fields[5];
        rows.push_back(row);
    }
    return rows;
}
