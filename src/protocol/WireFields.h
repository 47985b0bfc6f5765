#pragma once

#include <QLatin1String>

// The JSON field and parameter names that both the client and the service
// spell, written exactly as they travel: changing a value changes the wire for
// both sides at once. Names only one side knows stay with that side.
class WireFields final {
public:
    WireFields() = delete;

    // Every reply: {"status": 1, "data": {...}}.
    static constexpr QLatin1String kStatus{"status"};
    static constexpr QLatin1String kData{"data"};

    // Sessions: an identity token buys an api token ("data.user.api_token"),
    // which every later request carries.
    static constexpr QLatin1String kIdentityToken{"identity_token"};
    static constexpr QLatin1String kUser{"user"};
    static constexpr QLatin1String kApiToken{"api_token"};

    // Upload credentials: asked for by file names, answered with where and how
    // to put each file into the object store.
    static constexpr QLatin1String kFiles{"files"};
    static constexpr QLatin1String kEndpoint{"endpoint"};
    static constexpr QLatin1String kBucket{"bucket"};
    static constexpr QLatin1String kObjects{"objects"};
    static constexpr QLatin1String kAccessId{"access_id"};
    static constexpr QLatin1String kAccessSecret{"access_secret"};
    static constexpr QLatin1String kSecurityToken{"security_token"};
    static constexpr QLatin1String kCallbackUrl{"callback_url"};

    // The upload callback's reply names the stored file: "data.id".
    static constexpr QLatin1String kId{"id"};

    // Task creation: "files" again, as a list of {"file_id", "password"}.
    static constexpr QLatin1String kAutostart{"autostart"};
    static constexpr QLatin1String kServiceType{"service_type"};
    static constexpr QLatin1String kFileId{"file_id"};
    static constexpr QLatin1String kPassword{"password"};
    static constexpr QLatin1String kArgs{"args"};
    static constexpr QLatin1String kTaskId{"task_id"};

    // Task status: "status" and "progress" in "data", then "errors" or the
    // "target_file" to download.
    static constexpr QLatin1String kProgress{"progress"};
    static constexpr QLatin1String kErrors{"errors"};
    static constexpr QLatin1String kTargetFile{"target_file"};
    static constexpr QLatin1String kUrl{"url"};
    static constexpr QLatin1String kFilename{"filename"};

    // The pace a service asks of its pollers, optional in the "data" of the
    // creation and status replies: milliseconds between status polls and
    // between the starts of downloads.
    static constexpr QLatin1String kPollIntervalMs{"poll_interval_ms"};
    static constexpr QLatin1String kDownloadStaggerMs{"download_stagger_ms"};

    // Task arguments ("args") that the service acts on.
    static constexpr QLatin1String kFormat{"format"};
    static constexpr QLatin1String kQuality{"quality"};
    static constexpr QLatin1String kResize{"resize"};
    static constexpr QLatin1String kLayout{"layout"};
    static constexpr QLatin1String kBorder{"border"};

    // The ready file a started service leaves for its launcher; "pid" is also
    // in the health reply, which is how a launcher knows the file is current.
    static constexpr QLatin1String kBaseUrl{"base_url"};
    static constexpr QLatin1String kCaFile{"ca_file"};
    static constexpr QLatin1String kPid{"pid"};
};
