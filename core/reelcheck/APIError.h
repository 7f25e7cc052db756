#pragma once

#include <QString>

#include <variant>

namespace tessera {

// Every way a call to the reel check service can fail, each carrying what its one sentence needs.
struct APIError
{
    // Certainly never reached the service; `detail` is for diagnosis only.
    struct Unreachable
    {
        QString detail;
        friend bool operator==(const Unreachable &, const Unreachable &) = default;
    };
    // May have reached the service; `detail` is for diagnosis only.
    struct Uncertain
    {
        QString detail;
        friend bool operator==(const Uncertain &, const Uncertain &) = default;
    };
    struct Rejected
    {
        QString message;
        friend bool operator==(const Rejected &, const Rejected &) = default;
    };
    struct Airtable
    {
        QString message;
        friend bool operator==(const Airtable &, const Airtable &) = default;
    };
    struct Http
    {
        int statusCode = 0;
        QString message;
        friend bool operator==(const Http &, const Http &) = default;
    };
    struct NotAllowed
    {
        friend bool operator==(const NotAllowed &, const NotAllowed &) = default;
    };
    struct RateLimited
    {
        friend bool operator==(const RateLimited &, const RateLimited &) = default;
    };
    struct NotSetUp
    {
        friend bool operator==(const NotSetUp &, const NotSetUp &) = default;
    };
    struct BadResponse
    {
        friend bool operator==(const BadResponse &, const BadResponse &) = default;
    };

    using Case = std::variant<Unreachable, Uncertain, Rejected, Airtable, Http, NotAllowed,
                              RateLimited, NotSetUp, BadResponse>;
    Case value;

    static APIError unreachable(QString detail) { return {Unreachable{std::move(detail)}}; }
    static APIError uncertain(QString detail) { return {Uncertain{std::move(detail)}}; }
    static APIError rejected(QString message) { return {Rejected{std::move(message)}}; }
    static APIError airtable(QString message) { return {Airtable{std::move(message)}}; }
    static APIError http(int statusCode, QString message)
    {
        return {Http{statusCode, std::move(message)}};
    }
    static APIError notAllowed() { return {NotAllowed{}}; }
    static APIError rateLimited() { return {RateLimited{}}; }
    static APIError notSetUp() { return {NotSetUp{}}; }
    static APIError badResponse() { return {BadResponse{}}; }

    template<typename C>
    bool is() const
    {
        return std::holds_alternative<C>(value);
    }
    template<typename C>
    const C *as() const
    {
        return std::get_if<C>(&value);
    }

    // The sentence the editor sees. Details of unreachable and uncertain never appear in it.
    QString description() const;

    friend bool operator==(const APIError &, const APIError &) = default;
};

} // namespace tessera
