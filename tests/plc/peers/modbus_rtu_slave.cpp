// A Modbus RTU slave on a serial device: libmodbus's own receive and reply,
// written the plain C way a libmodbus user would.
//
//   modbus_rtu_slave DEVICE DUMPFILE [--unit N] [I=V]...
//
// Holds 1000 holding registers (register I is index I), set from the I=V
// arguments. DUMPFILE gets the non-zero registers, one "I=V" line each,
// when the slave is ready and after every request that wrote registers; it
// is replaced whole, so a reader never sees half of it. Ends on SIGTERM or
// SIGINT, or when the device goes away.
#include <modbus.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kRegisters = 1000;

volatile std::sig_atomic_t g_stop = 0;

extern "C" void on_signal(int) {
    g_stop = 1;
}

int write_dump(const char* path, const modbus_mapping_t* map) {
    char temp[4096];
    snprintf(temp, sizeof temp, "%s.tmp", path);
    FILE* f = fopen(temp, "w");
    if (!f)
        return -1;
    for (int i = 0; i < map->nb_registers; ++i) {
        if (map->tab_registers[i])
            fprintf(f, "%d=%u\n", i, static_cast<unsigned>(map->tab_registers[i]));
    }
    if (fclose(f) != 0)
        return -1;
    return rename(temp, path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s DEVICE DUMPFILE [--unit N] [I=V]...\n", argv[0]);
        return 64;
    }
    const char* device = argv[1];
    const char* dump = argv[2];
    int unit = 1;
    modbus_mapping_t* map = modbus_mapping_new(0, 0, kRegisters, 0);
    if (!map)
        return 1;
    for (int i = 3; i < argc; ++i) {
        if (strcmp(argv[i], "--unit") == 0 && i + 1 < argc) {
            unit = atoi(argv[++i]);
            continue;
        }
        int index = 0;
        long value = 0;
        if (sscanf(argv[i], "%d=%ld", &index, &value) != 2 || index < 0 || index >= kRegisters) {
            fprintf(stderr, "bad register value '%s'\n", argv[i]);
            return 64;
        }
        map->tab_registers[index] = static_cast<uint16_t>(value);
    }

    modbus_t* ctx = modbus_new_rtu(device, 9600, 'N', 8, 1);
    // libmodbus waits through EINTR, so a wait for a request ends now and
    // then to look at the stop flag.
    if (!ctx || modbus_set_slave(ctx, unit) != 0 || modbus_connect(ctx) != 0 ||
        modbus_set_indication_timeout(ctx, 0, 100000) != 0) {
        fprintf(stderr, "cannot open %s: %s\n", device, modbus_strerror(errno));
        return 1;
    }

    struct sigaction sa {};
    sa.sa_handler = on_signal; // no SA_RESTART: a blocked receive returns
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    if (write_dump(dump, map) != 0) {
        fprintf(stderr, "cannot write %s\n", dump);
        return 1;
    }
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    int status = 0;
    while (!g_stop) {
        const int n = modbus_receive(ctx, query);
        if (n == 0)
            continue; // a request for another slave
        if (n < 0) {
            // A bad frame is dropped by libmodbus and waited past; anything
            // else (the device gone) ends the slave.
            if (errno == EMBBADCRC || errno == EMBBADDATA || errno == EMBBADSLAVE ||
                errno == EINTR || errno == ETIMEDOUT)
                continue;
            if (!g_stop) {
                fprintf(stderr, "receive: %s\n", modbus_strerror(errno));
                status = 1;
            }
            break;
        }
        modbus_reply(ctx, query, n, map);
        const uint8_t function = query[1];
        if (function == 0x06 || function == 0x10 || function == 0x16 || function == 0x17)
            write_dump(dump, map);
    }
    modbus_close(ctx);
    modbus_free(ctx);
    modbus_mapping_free(map);
    return status;
}
