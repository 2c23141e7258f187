#include "ombrix/lookup/mail_security.h"

#include <memory>
#include <utility>

#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/response_code.h"
#include "ombrix/lookup/txt_reply.h"
#include "validated_question.h"

namespace ombrix::lookup {
namespace {

constexpr std::uint16_t kTypeDnskey = 48;
constexpr const char* kTlsaPrefix = "_25._tcp.";

Fault outOfMemory() {
    return Fault{Fault::Kind::sendFailed, "memory ran out before the lookup could be taken"};
}

Submit<MxResult> mxSubmitter(LookupEngine& engine) {
    return [&engine](const LookupRequest& request, std::function<void(MxResult &&)> done) {
        if (engine.submitMx(request, done) == kNoLookup) {
            MxResult failed;
            failed.fault = outOfMemory();
            done(std::move(failed));
        }
    };
}

Submit<AddressResult> addressSubmitter(LookupEngine& engine, std::uint16_t type) {
    return
        [&engine, type](const LookupRequest& request, std::function<void(AddressResult &&)> done) {
            const auto id = engine.submitAddress(
                request, type, [done](AddressAnswer&& answer) { done(std::move(answer.result)); });
            if (id == kNoLookup) {
                done(AddressResult{AddressStatus::noReply, {}, outOfMemory()});
            }
        };
}

// Reads the reply of a lookup of any type with read, which takes the reply and the name asked.
template <class Record, class Read>
Submit<RecordReply<Record>> recordSubmitter(LookupEngine& engine, std::uint16_t type, Read read) {
    return [&engine, type, read](const LookupRequest& request,
                                 std::function<void(RecordReply<Record> &&)> done) {
        auto finish = [done, read, domain = request.domain](RecordAnswer&& answer) {
            RecordReply<Record> result;
            auto qname = encodeDomain(domain);
            if (answer.fault || !qname) {
                result.fault = answer.fault ? std::move(answer.fault) : qname.error();
            } else {
                result = read(answer.reply, qname.value());
            }
            done(std::move(result));
        };
        if (engine.submitRecord(request, type, std::move(finish)) == kNoLookup) {
            RecordReply<Record> failed;
            failed.fault = outOfMemory();
            done(std::move(failed));
        }
    };
}

// The questions about one domain, each answered into result_; done is called when the last
// answer is in. Every callback holds the object alive.
class DomainSecurity : public std::enable_shared_from_this<DomainSecurity> {
  public:
    DomainSecurity(LookupEngine& engine, LookupRequest request,
                   std::function<void(MailSecurity&&)> done)
        : engine_(engine), request_(std::move(request)), done_(std::move(done)) {
        request_.trace = false;
    }

    void start(bool trace) {
        // Held until every first question is out, so an answer given at once cannot finish
        // the domain before the others are asked.
        hold();
        hold();
        auto mxRequest = request_;
        mxRequest.trace = trace;
        askValidated<MxResult>(mxSubmitter(engine_), mxRequest,
                               [self = shared_from_this()](MxResult&& mx, DnssecStatus status) {
                                   self->takeMx(std::move(mx), status);
                               });
        askPolicy("_mta-sts.",
                  [](MailSecurity& into, RecordReply<std::string>&& txt, DnssecStatus status) {
                      into.mtaSts = readMtaStsRecord(txt, status);
                  });
        askPolicy("_smtp._tls.",
                  [](MailSecurity& into, RecordReply<std::string>&& txt, DnssecStatus status) {
                      into.tlsRpt = readTlsRptRecord(txt, status);
                  });
        release();
    }

  private:
    // The A and AAAA statuses of one exchanger, until both are in.
    struct Addresses {
        DnssecStatus a = DnssecStatus::indeterminate;
        DnssecStatus aaaa = DnssecStatus::indeterminate;
        int outstanding = 2;
    };

    void hold() { ++outstanding_; }

    void release() {
        if (--outstanding_ == 0) {
            finish();
        }
    }

    LookupRequest requestFor(std::string name) const {
        auto request = request_;
        request.domain = std::move(name);
        return request;
    }

    template <class Take>
    void askPolicy(const std::string& prefix, Take take) {
        hold();
        askValidated<RecordReply<std::string>>(
            recordSubmitter<std::string>(engine_, kTypeTxt, readTxtReply),
            requestFor(prefix + request_.domain),
            [self = shared_from_this(), take](RecordReply<std::string>&& txt, DnssecStatus status) {
                take(self->result_, std::move(txt), status);
                self->release();
            });
    }

    void takeMx(MxResult&& mx, DnssecStatus status) {
        result_.dnssec = status;
        if (mx.outcome == Outcome::exchangers) {
            for (const auto& exchanger : mx.exchangers) {
                postures_.push_back(ExchangerPosture{exchanger.name, {}, {}, {}});
            }
        } else if (mx.outcome == Outcome::noMx) {
            postures_.push_back(ExchangerPosture{mx.query, {}, {}, {}});
        }
        result_.mx = std::move(mx);
        addresses_.resize(postures_.size());
        for (std::size_t i = 0; i < postures_.size(); ++i) {
            askAddress(i, kTypeA);
            askAddress(i, kTypeAaaa);
        }
        release();
    }

    void askAddress(std::size_t exchanger, std::uint16_t type) {
        hold();
        askValidated<AddressResult>(
            addressSubmitter(engine_, type), requestFor(postures_[exchanger].name),
            [self = shared_from_this(), exchanger, type](AddressResult&& found,
                                                         DnssecStatus status) {
                self->takeAddress(exchanger, type, std::move(found), status);
            });
    }

    void takeAddress(std::size_t exchanger, std::uint16_t type, AddressResult&& found,
                     DnssecStatus status) {
        auto& posture = postures_[exchanger];
        auto& addresses = addresses_[exchanger];
        (type == kTypeA ? addresses.a : addresses.aaaa) = status;
        if (found.canonicalName) {
            posture.canonicalName = std::move(found.canonicalName);
        }
        if (--addresses.outstanding == 0) {
            posture.addressDnssec = weaker(addresses.a, addresses.aaaa);
            askTlsaFirst(exchanger);
        }
        release();
    }

    // An alias is asked at its expanded name first, then at its own when that has none.
    void askTlsaFirst(std::size_t exchanger) {
        auto& posture = postures_[exchanger];
        posture.tlsa.name = kTlsaPrefix + posture.name;
        if (posture.addressDnssec != DnssecStatus::secure) {
            posture.tlsa.status = tlsaStatus(posture.addressDnssec, nullptr, posture.tlsa.dnssec);
            return;
        }
        if (posture.canonicalName) {
            askTlsa(exchanger, kTlsaPrefix + *posture.canonicalName, true);
        } else {
            askTlsa(exchanger, posture.tlsa.name, false);
        }
    }

    void askTlsa(std::size_t exchanger, std::string name, bool thenOwnName) {
        hold();
        askValidated<RecordReply<TlsaRecord>>(
            recordSubmitter<TlsaRecord>(engine_, kTypeTlsa, readTlsaReply), requestFor(name),
            [self = shared_from_this(), exchanger, name, thenOwnName](
                RecordReply<TlsaRecord>&& tlsa, DnssecStatus status) {
                self->takeTlsa(exchanger, name, std::move(tlsa), status, thenOwnName);
            });
    }

    void takeTlsa(std::size_t exchanger, std::string name, RecordReply<TlsaRecord>&& tlsa,
                  DnssecStatus status, bool thenOwnName) {
        auto& posture = postures_[exchanger];
        auto& found = posture.tlsa;
        found.asked = true;
        found.dnssec = status;
        found.status = tlsaStatus(posture.addressDnssec, &tlsa, status);
        if (found.status == TlsaStatus::absent && thenOwnName) {
            askTlsa(exchanger, found.name, false);
        } else {
            found.name = std::move(name);
            found.records = std::move(tlsa.records);
        }
        release();
    }

    void finish() {
        std::vector<ExchangerSecurity> judged;
        for (const auto& posture : postures_) {
            judged.push_back({posture.addressDnssec, posture.tlsa.status});
        }
        result_.dane = daneVerdict(result_.mx.outcome, result_.dnssec, judged);
        if (result_.mx.outcome == Outcome::noMx && !postures_.empty()) {
            result_.implicitExchanger = std::move(postures_.front());
        } else {
            result_.exchangers = std::move(postures_);
        }
        done_(std::move(result_));
    }

    LookupEngine& engine_;
    LookupRequest request_;
    std::function<void(MailSecurity&&)> done_;
    MailSecurity result_;
    std::vector<ExchangerPosture> postures_;
    std::vector<Addresses> addresses_;
    std::size_t outstanding_ = 0;
};

}  // namespace

void submitMailSecurity(LookupEngine& engine, const LookupRequest& request,
                        std::function<void(MailSecurity&&)> done) {
    auto domain = std::make_shared<DomainSecurity>(engine, request, std::move(done));
    domain->start(request.trace);
}

ValidationCheck checkValidatingServer(LookupEngine& engine, const LookupRequest& request) {
    auto asked = request;
    asked.domain = request.domain.empty() ? "." : request.domain;
    asked.dnssecOk = true;
    asked.checkingDisabled = false;
    std::optional<RecordAnswer> answer;
    if (engine.submitRecord(asked, kTypeDnskey, [&answer](RecordAnswer&& reply) {
            answer = std::move(reply);
        }) == kNoLookup) {
        return {false, outOfMemory()};
    }
    engine.run();
    const std::string question = "the DNSKEY of " + asked.domain;
    if (!answer || answer->fault) {
        return {false, answer ? answer->fault : outOfMemory()};
    }
    if (answer->rcode != std::uint8_t{0} && answer->rcode != std::uint8_t{3}) {
        return {false, Fault{Fault::Kind::serverFailure, "the server answered " +
                                                             responseCodeName(*answer->rcode) +
                                                             " when asked for " + question}};
    }
    if (!answer->authenticData) {
        return {false, Fault{Fault::Kind::serverFailure, "the server did not validate " + question +
                                                             ": its answer lacks the AD bit"}};
    }
    return {true, std::nullopt};
}

}  // namespace ombrix::lookup
