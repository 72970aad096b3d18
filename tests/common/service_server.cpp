#include "common/service_server.h"

HttpTestServer& serviceServer() {
    static HttpTestServer* instance = [] {
        auto* created = new HttpTestServer;
        qputenv("QUORVIN_YUANBAO_ORIGIN", created->origin().toUtf8());
        qputenv("QUORVIN_CHANNELS_ORIGIN", created->origin().toUtf8());
        return created;
    }();
    return *instance;
}
