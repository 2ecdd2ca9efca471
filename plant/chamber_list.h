#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "plant/alarm_thresholds.h"
#include "settings/file_target.h"

namespace torv::plant {

// The chambers the plant overview watches, how often it goes round them and
// when it raises an alarm, in a JSON file the operator can edit by hand.
inline constexpr const char* kChamberListFileName = "komory.json"; // in the working directory
inline constexpr std::string_view kChamberListFormat = "torv-lcd-chambers";
inline constexpr int kChamberListVersion = 1;
// Checked before parsing: 250 chambers with the longest Polish names take under half of it.
inline constexpr std::size_t kChamberListMaxBytes = 64 * 1024;
inline constexpr int kDefaultRoundSeconds = 60;
inline constexpr int kMinRoundSeconds = 10;
inline constexpr int kMaxRoundSeconds = 3600;
// In characters, not bytes: names are Polish.
inline constexpr int kMaxChamberNameLength = 40;
// The plant's own name and postal address, for the documents it signs (a
// charge report): one line each.
inline constexpr int kMaxPlantNameLength = 80;
inline constexpr int kMaxPlantAddressLength = 120;
// The air pressure the psychrometers work in, hPa in hundredths: the
// standard atmosphere, and what a plant from the sea to a mountain pass sees.
inline constexpr int kDefaultAirPressureHundredths = 101325;
inline constexpr int kMinAirPressureHundredths = 70000;
inline constexpr int kMaxAirPressureHundredths = 110000;

// How the air moves past a chamber's wet bulb; kiln fans blow across the wick.
enum class Psychrometer { Ventilated, Unventilated };

// Which of the controller's second thermometers sit in the wood's core.
// None unless the file names them: an air temperature is no proof of a
// heat treatment.
struct CoreProbes {
    bool control1 = false; // TempControl1
    bool control2 = false; // TempControl2
    bool operator==(const CoreProbes&) const = default;
};

// How long the wood's core must be how hot for a heat treatment to count.
struct HeatTreatment {
    int minTenths = 560; // °C in tenths
    int minutes = 30;
    bool operator==(const HeatTreatment&) const = default;
};
// The ranges the file may give them in.
inline constexpr int kMinHeatTreatmentTenths = 0, kMaxHeatTreatmentTenths = 1500;
inline constexpr int kMinHeatTreatmentMinutes = 1, kMaxHeatTreatmentMinutes = 1440;

struct Chamber {
    int address = 0;  // 1..250, once in a list
    std::string name; // UTF-8, trimmed, 1..40 characters, one visible; no control, separator or bidi characters
    Psychrometer psychrometer = Psychrometer::Ventilated;
    CoreProbes coreProbes{}; // none, or those the file names
    bool operator==(const Chamber&) const = default;
};

struct ChamberList {
    int roundSeconds = kDefaultRoundSeconds; // from the start of one round over the chambers to the next
    AlarmThresholds alarms;
    std::vector<Chamber> chambers; // in the file's order, which the overview keeps
    int airPressureHundredths = kDefaultAirPressureHundredths; // hPa
    HeatTreatment heatTreatment{};
    std::string plantName{}, plantAddress{}; // UTF-8, trimmed; empty when the file gives none
    bool operator==(const ChamberList&) const = default;
};

struct ChamberListResult {
    ChamberList list;                  // the defaults and no chambers whenever there are problems
    std::vector<std::string> problems; // one Polish line each, starting with where in the file it is
    bool ok() const { return problems.empty(); }
};

// "Komora 7": the name of a chamber the file names only by its address.
std::string DefaultChamberName(int address);

// The chamber at `address` on the list, else nullptr.
const Chamber* FindChamber(const ChamberList& list, int address);
Chamber* FindChamber(ChamberList& list, int address);
// Its name on the list; DefaultChamberName for an address the list does not hold.
std::string ChamberName(const ChamberList& list, int address);

// The list as the file holds it: pretty, keys in a fixed order, UTF-8, the
// degrees with one decimal. The air pressure, heat treatment, psychrometer
// and core probes only where they differ from their defaults, so a list that
// uses none of them reads in a program that knows none of them. The values
// must be valid (ChamberListProblems).
std::string ChamberListJson(const ChamberList& list);

// The list in `bytes`, nothing of it taken when anything is wrong: size,
// syntax, format and version (each told alone), then every other problem:
// unknown or repeated keys, a value of the wrong kind or out of its range,
// an address given twice, a name empty, invisible, too long or with a
// control, line separator or bidi character. Missing keys take their defaults; names are trimmed.
ChamberListResult ParseChamberList(std::string_view bytes);

// Why a list built in the program would not read back as it is, in the
// reader's words and places; empty when it would.
std::vector<std::string> ChamberListProblems(const ChamberList& list);

// Reads and parses the file. No file is an empty list, not a problem (the
// overview starts without one); anything but a regular file is refused
// without waiting on it.
ChamberListResult ReadChamberListFile(const std::string& path);
// What was read (files::ReadRegularFile), parsed; a missing file is an empty list.
ChamberListResult ChamberListOfContents(const files::Contents& file);

// Writes the list through a temporary file renamed over `path`, so a failed
// save leaves any earlier file whole. A list ChamberListProblems refuses is
// not written ("error" is its first problem). False with `error` set (Polish)
// on failure.
bool WriteChamberListFile(const std::string& path, const ChamberList& list, std::string& error);

} // namespace torv::plant
