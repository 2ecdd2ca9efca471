// The plant's Prometheus series: names, labels and units, and what a chamber
// that stops answering keeps and loses.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "support/free_port.h"
#include "telemetry/metrics.h"

using namespace torv;

namespace {

drying_log::Row Answered(int address)
{
    drying_log::Row r;
    r.address = address;
    r.tempDry = 635;
    r.tempWet = -5;
    r.difference = 425;
    r.setTemperature = 70;
    r.setDifference = 5;
    r.autoStep = 2;
    r.autoHoursDone = 5;
    r.autoHoursTotal = 8;
    r.heating = 1;
    r.humidifying = 0;
    r.ventOpen = 0;
    r.ventClose = 1;
    return r;
}

// A TCP connection to 127.0.0.1:port whose reads give up after `seconds`; -1 when refused.
int Connect(int port, int seconds)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const timeval limit{seconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<std::uint16_t>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// GET /metrics: the whole response, or what came before the reads gave up.
std::string Scrape(int port, int seconds)
{
    const int fd = Connect(port, seconds);
    if (fd < 0)
        return {};
    const std::string request = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    std::string response;
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        char buffer[4096];
        for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
            response.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return response;
}

bool Has(const std::string& text, const std::string& line) { return text.find("\n" + line + "\n") != std::string::npos; }

} // namespace

TEST(PlantMetrics, ValuesInBaseUnitsAndASilentChamberKeepsOnlyItsCountersAndUp)
{
    telemetry::PlantMetrics m;
    m.scanned(Answered(3), {58.56, 8.94});
    std::string text = "\n" + m.exposition();
    for (const char* line : {"torv_chamber_up{address=\"3\"} 1", "torv_temperature_celsius{address=\"3\",sensor=\"dry\"} 63.5",
                             "torv_temperature_celsius{address=\"3\",sensor=\"wet\"} -0.5",
                             "torv_temperature_difference_celsius{address=\"3\"} 4.25",
                             "torv_set_temperature_celsius{address=\"3\"} 70", "torv_programme_step{address=\"3\"} 2",
                             "torv_programme_elapsed_seconds{address=\"3\"} 18000",
                             "torv_programme_duration_seconds{address=\"3\"} 28800",
                             "torv_actuator_on{actuator=\"heating\",address=\"3\"} 1",
                             "torv_actuator_on{actuator=\"vent_open\",address=\"3\"} 0",
                             "torv_scans_total{address=\"3\"} 1", "torv_scans_failed_total{address=\"3\"} 0",
                             "torv_relative_humidity_ratio{address=\"3\"} 0.586",
                             "torv_wood_equilibrium_moisture_ratio{address=\"3\"} 0.089"})
        EXPECT_TRUE(Has(text, line)) << line << "\n" << text;
    EXPECT_EQ(text.find("sensor=\"control1\""), std::string::npos) << "a sensor the row has not is no series";
    EXPECT_EQ(text.find(" # "), std::string::npos);

    drying_log::Row silent;
    silent.address = 3;
    silent.status = drying_log::Status::Failed;
    m.scanned(silent);
    m.alarms(3, {plant::Alarm{{3, plant::AlarmKind::NoCommunication}, {}, "", false, false}});
    text = "\n" + m.exposition();
    EXPECT_TRUE(Has(text, "torv_chamber_up{address=\"3\"} 0"));
    EXPECT_TRUE(Has(text, "torv_scans_total{address=\"3\"} 2"));
    EXPECT_TRUE(Has(text, "torv_scans_failed_total{address=\"3\"} 1"));
    EXPECT_TRUE(Has(text, "torv_alarms_active{address=\"3\",kind=\"no-communication\"} 1"));
    EXPECT_EQ(text.find("torv_temperature_celsius{"), std::string::npos) << "a stale value is left: " << text;
    EXPECT_EQ(text.find("torv_actuator_on{"), std::string::npos);
    EXPECT_EQ(text.find("_ratio{"), std::string::npos) << "a stale humidity is left: " << text;
    EXPECT_NE(text.find("torv_last_good_scan_timestamp_seconds{address=\"3\"}"), std::string::npos)
        << "when it last answered stays";

    // Answering again brings the values back, but a humidity only where it has one; a cleared alarm goes.
    m.scanned(Answered(3), {97.04, std::nullopt});
    m.alarms(3, {plant::Alarm{{3, plant::AlarmKind::NoCommunication}, {}, "", false, true}});
    text = "\n" + m.exposition();
    EXPECT_TRUE(Has(text, "torv_temperature_celsius{address=\"3\",sensor=\"dry\"} 63.5"));
    EXPECT_TRUE(Has(text, "torv_relative_humidity_ratio{address=\"3\"} 0.97")) << text;
    EXPECT_EQ(text.find("torv_wood_equilibrium_moisture_ratio{"), std::string::npos) << text;
    EXPECT_EQ(text.find("torv_alarms_active{"), std::string::npos);
}

TEST(PlantMetrics, AScrapeIsAnsweredWhileAnotherClientSitsIdle)
{
    telemetry::PlantMetrics m;
    m.scanned(Answered(3));
    const int port = torv::testing::FreeLoopbackPort();
    telemetry::MetricsEndpoint endpoint("127.0.0.1", port, m);
    // Connected and never sending a request, as a stalled client or a port check does.
    const int idle = Connect(port, 1);
    ASSERT_GE(idle, 0);
    // Far below how long the idle client could hold a lone worker.
    const std::string response = Scrape(port, 5);
    close(idle);
    EXPECT_TRUE(response.starts_with("HTTP/1.1 200")) << response;
    EXPECT_TRUE(Has(response, "torv_chamber_up{address=\"3\"} 1")) << response;
}

TEST(PlantMetrics, AnEndpointThatCannotBindSaysWhere)
{
    telemetry::PlantMetrics m;
    EXPECT_THROW(telemetry::MetricsEndpoint("203.0.113.1", 9, m), std::runtime_error);
}
