// The MQTT messages parsed back as a subscriber (and Home Assistant) reads them.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <set>

#include "plant/alarm_log.h"
#include "telemetry/mqtt_messages.h"

using namespace torv;
using namespace torv::telemetry;

namespace {

const drying_log::LocalTime kNewYearsEve{2026, 12, 31, 23, 30, 5, 60};

QJsonValue Parse(const std::string& payload)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(payload), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << payload;
    return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
}

drying_log::Row Running()
{
    drying_log::Row r;
    r.time = kNewYearsEve;
    r.address = 3;
    r.tempDry = 600;
    r.tempWet = -5;
    r.difference = 425;
    r.autoStep = 2, r.autoHoursDone = 5, r.autoHoursTotal = 8;
    r.setTemperature = 70, r.setDifference = 5;
    r.heating = 1, r.humidifying = 0, r.ventOpen = 0, r.ventClose = 1;
    return r;
}

} // namespace

TEST(MqttTopics, HostNameIsOneTopicLevel)
{
    EXPECT_EQ(DefaultPrefix("kiln-pc.local"), "torv/kiln-pc.local");
    EXPECT_EQ(DefaultPrefix("a/b+c#d e"), "torv/a_b_c_d e");
    EXPECT_EQ(DefaultPrefix("suszarnia-\xc5\x82\x01\x7f"), "torv/suszarnia-____"); // "ł", a control byte, DEL
    EXPECT_EQ(DefaultPrefix(""), "torv/_");
    EXPECT_EQ(AlarmsTopic("torv/pc", 250), "torv/pc/250/alarms");
    EXPECT_EQ(HomeAssistantStatusTopic(), "homeassistant/status");
    // Only the retained topics serve writes name a chamber to be cleared.
    for (const auto& [topic, address] : std::initializer_list<std::pair<const char*, std::optional<int>>>{
             {"torv/pc/3/state", 3}, {"torv/pc/250/availability", 250}, {"torv/pc/1/alarms", 1},
             {"torv/pc/3/alarm", {}}, {"torv/pc/03/state", {}}, {"torv/pc/0/state", {}}, {"torv/pc/251/state", {}},
             {"torv/pc/3x/state", {}}, {"torv/pcx/3/state", {}}, {"torv/pc/status", {}}, {"torv/pc/3/state/x", {}}})
        EXPECT_EQ(ChamberOfTopic("torv/pc", topic), address) << topic;
}

TEST(MqttState, EveryColumnNameAndTheEstimatedEnd)
{
    // Decimals as the log writes them ("60.0"), every column, null where the row has nothing.
    const std::string payload = StatePayload(Running(), "Komora \"3\" – dąb");
    EXPECT_NE(payload.find("\"TempDry\": 60.0,"), std::string::npos) << payload;
    EXPECT_EQ(Parse(payload).toObject(),
              (QJsonObject{{"time", "2026-12-31T23:30:05+01:00"}, {"address", 3}, {"TempDry", 60.0}, {"TempWet", -0.5},
                           {"TempControl1", QJsonValue::Null}, {"TempControl2", QJsonValue::Null}, {"Difference", 4.25},
                           {"AutoStep", 2}, {"AutoHoursDone", 5}, {"AutoHoursTotal", 8}, {"SetTemperature", 70},
                           {"SetDifference", 5}, {"Heating", 1}, {"Humidifying", 0}, {"VentOpen", 0}, {"VentClose", 1},
                           {"status", "ok"}, {"name", "Komora \"3\" – dąb"}, {"estimatedEnd", "2027-01-01T02:30:05+01:00"},
                           {"relativeHumidity", QJsonValue::Null}, {"equilibriumMoisture", QJsonValue::Null}}));
    // The humidity and the wood's moisture to a tenth of a percent, each null without a value.
    const struct {
        quantities::Moisture moisture;
        const char* text;
    } moistures[] = {
        {{58.56, 8.94}, "\"relativeHumidity\": 58.6, \"equilibriumMoisture\": 8.9}"},
        {{99.2, std::nullopt}, "\"relativeHumidity\": 99.2, \"equilibriumMoisture\": null}"},
        {{0.0, 0.0}, "\"relativeHumidity\": 0.0, \"equilibriumMoisture\": 0.0}"},
    };
    for (const auto& m : moistures) {
        const std::string state = StatePayload(Running(), "Komora 3", m.moisture);
        EXPECT_TRUE(state.ends_with(m.text)) << state;
    }

    drying_log::Row bare;
    bare.time = kNewYearsEve;
    bare.address = 7;
    QJsonObject expected{{"time", "2026-12-31T23:30:05+01:00"}, {"address", 7}, {"status", "ok"}, {"name", "Komora 7"},
                         {"estimatedEnd", QJsonValue::Null}, {"relativeHumidity", QJsonValue::Null},
                         {"equilibriumMoisture", QJsonValue::Null}};
    for (const std::string_view column : drying_log::Columns())
        if (!expected.contains(QString::fromUtf8(column.data(), column.size())))
            expected.insert(QString::fromUtf8(column.data(), column.size()), QJsonValue::Null);
    EXPECT_EQ(Parse(StatePayload(bare, "Komora 7")).toObject(), expected);
}

TEST(MqttState, FailedScanSaysOfflineAndKeepsTheLastState)
{
    const plant::Chamber chamber{3, "Komora 3"};
    drying_log::Row failed = Running();
    failed.status = drying_log::Status::Failed;
    EXPECT_EQ(ScanMessages("torv/pc", chamber, failed),
              (std::vector<Message>{{"torv/pc/3/availability", "offline", true, 1}}));
    EXPECT_EQ(ScanMessages("torv/pc", chamber, Running()),
              (std::vector<Message>{{"torv/pc/3/state", StatePayload(Running(), "Komora 3"), true, 1},
                                    {"torv/pc/3/availability", "online", true, 1}}));
    EXPECT_EQ(ScanMessages("torv/pc", chamber, Running(), {58.6, 8.9}).front().payload,
              StatePayload(Running(), "Komora 3", {58.6, 8.9}));
    EXPECT_EQ(ScanMessages("torv/pc", chamber, failed, {58.6, 8.9}).size(), 1u) << "no state from a failed scan";
    EXPECT_EQ(ServiceStatus("torv/pc", false), (Message{"torv/pc/status", "offline", true, 1}));
}

TEST(MqttAlarms, EventsAndTheChamberList)
{
    const plant::AlarmEvent raised{plant::AlarmEventType::Raised, {3, plant::AlarmKind::TemperatureDeviation},
                                   kNewYearsEve, "T suchy 63,5 °C, zadana 70 °C"};
    const Message m = AlarmEventMessage("torv/pc", raised);
    EXPECT_EQ(m.topic, "torv/pc/3/alarm");
    EXPECT_FALSE(m.retained);
    EXPECT_EQ(m.qos, 1);
    EXPECT_EQ(Parse(m.payload).toObject(),
              (QJsonObject{{"address", 3}, {"kind", "temperature-deviation"}, {"name", "Odchyłka temperatury"},
                           {"event", "raised"}, {"value", "T suchy 63,5 °C, zadana 70 °C"},
                           {"time", "2026-12-31T23:30:05+01:00"}}));
    // The event names are the alarm log's, and an event with no value says so.
    for (const auto type : {plant::AlarmEventType::Cleared, plant::AlarmEventType::Acknowledged}) {
        const plant::AlarmEvent e{type, {3, plant::AlarmKind::NoCommunication}, kNewYearsEve, ""};
        const QJsonObject o = Parse(AlarmEventMessage("torv/pc", e).payload).toObject();
        EXPECT_NE(plant::AlarmLogLine(e).find("," + o["event"].toString().toStdString() + ","), std::string::npos);
        EXPECT_TRUE(o["value"].isNull());
    }

    // A cleared alarm the window still shows for acknowledgement is not active.
    const std::vector<plant::Alarm> list{{{7, plant::AlarmKind::NoCommunication}, kNewYearsEve, "", false, false},
                                         {{3, plant::AlarmKind::NoCommunication}, kNewYearsEve, "", false, true},
                                         {{3, plant::AlarmKind::ProgrammeFinished}, kNewYearsEve, "krok 10", true, false},
                                         {{5, plant::AlarmKind::SensorFault}, kNewYearsEve, "T1", true, true}};
    const Message three = ChamberAlarmsMessage("torv/pc", 3, list);
    EXPECT_EQ((std::pair{three.topic, three.retained}), (std::pair<std::string, bool>{"torv/pc/3/alarms", true}));
    EXPECT_EQ(Parse(three.payload).toArray(),
              (QJsonArray{QJsonObject{{"kind", "programme-finished"}, {"name", "Koniec programu"}, {"fault", false},
                                      {"raised", "2026-12-31T23:30:05+01:00"}, {"value", "krok 10"},
                                      {"cleared", false}, {"acknowledged", true}}}));
    EXPECT_EQ(ChamberAlarmsMessage("torv/pc", 5, list).payload, "[]");
}

TEST(HomeAssistantDiscovery, EveryEntityOfTwoChambers)
{
    const std::string prefix = "torv/kiln.pc";
    const QJsonObject state = Parse(StatePayload(Running(), "x")).toObject();
    const QRegularExpression topicForm("^homeassistant/(sensor|binary_sensor)/torv_kiln_pc/[A-Za-z0-9_-]+/config$");
    const QRegularExpression templateForm("^\\{\\{ value_json\\.(\\w+) \\}\\}$");
    std::set<QString> uniqueIds, topics, devices;
    for (const plant::Chamber& chamber : {plant::Chamber{3, "Komora 3 – dąb"}, plant::Chamber{7, "Komora 7"}}) {
        std::set<QString> names;
        for (const Message& m : DiscoveryMessages(prefix, chamber)) {
            SCOPED_TRACE(m.topic + " " + m.payload);
            EXPECT_TRUE(m.retained);
            EXPECT_TRUE(topicForm.match(QString::fromStdString(m.topic)).hasMatch());
            EXPECT_TRUE(topics.insert(QString::fromStdString(m.topic)).second);
            const QJsonObject c = Parse(m.payload).toObject();
            names.insert(c["name"].toString());
            EXPECT_TRUE(uniqueIds.insert(c["unique_id"].toString()).second);
            const bool readsAvailability = c["state_topic"] == QString::fromStdString(AvailabilityTopic(prefix, chamber.address));
            if (readsAvailability) {
                EXPECT_EQ(c["device_class"], "problem");
                EXPECT_EQ((std::pair{c["payload_on"], c["payload_off"]}), (std::pair<QJsonValue, QJsonValue>{"offline", "online"}));
            } else {
                EXPECT_EQ(c["state_topic"], QString::fromStdString(StateTopic(prefix, chamber.address)));
                const auto key = templateForm.match(c["value_template"].toString());
                EXPECT_TRUE(key.hasMatch() && state.contains(key.captured(1)));
            }
            if (c["device_class"] == "temperature") {
                EXPECT_EQ((std::pair{c["unit_of_measurement"], c["state_class"]}), (std::pair<QJsonValue, QJsonValue>{"°C", "measurement"}));
            } else if (c["device_class"] == "humidity" || c["device_class"] == "moisture") {
                EXPECT_EQ((std::pair{c["unit_of_measurement"], c["state_class"]}), (std::pair<QJsonValue, QJsonValue>{"%", "measurement"}));
            } else if (c["device_class"] == "timestamp") {
                EXPECT_EQ(c["value_template"], "{{ value_json.estimatedEnd }}");
            }
            const QJsonObject device = c["device"].toObject();
            EXPECT_EQ(device["name"], QString::fromStdString(chamber.name));
            EXPECT_EQ(device["manufacturer"], "torv-cli");
            EXPECT_FALSE(device["model"].toString().isEmpty());
            devices.insert(device["identifiers"].toArray().first().toString());
            // Both the service and the chamber must be online, except for the sensor that tells the chamber is not.
            QJsonArray availability{QJsonObject{{"topic", "torv/kiln.pc/status"}, {"payload_available", "online"}, {"payload_not_available", "offline"}}};
            if (!readsAvailability)
                availability.append(QJsonObject{{"topic", QString::fromStdString(AvailabilityTopic(prefix, chamber.address))},
                                                {"payload_available", "online"}, {"payload_not_available", "offline"}});
            EXPECT_EQ(c["availability"].toArray(), availability);
            EXPECT_EQ(c["availability_mode"], "all");
        }
        EXPECT_EQ(names, (std::set<QString>{"T suchy", "T mokry", "T kontr.1", "T kontr.2", "TEMP zadana", "Różnica",
                                            "Różnica zadana", "Krok programu", "Koniec programu", "Nawilżanie",
                                            "Grzanie", "Otwarcie", "Zamknięcie", "Brak komunikacji", "RH", "EMC"}));
    }
    EXPECT_EQ(devices.size(), 2u);
}
