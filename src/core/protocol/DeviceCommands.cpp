#include "core/protocol/DeviceCommands.h"

#include "core/protocol/CommandTexts.h"
#include "core/protocol/ReplyFields.h"
#include "core/protocol/ReplyText.h"
#include "core/protocol/RunStandardCommand.h"

namespace orva {
namespace {

bool Standard(Command id, const std::string& text, DeviceReply& reply, std::stop_token stop) {
    return RunStandardCommand(text, Info(id).replyFields, reply, std::move(stop));
}
bool Standard(Command id, DeviceReply& reply, std::stop_token stop) {
    return Standard(id, CommandText(id), reply, std::move(stop));
}

bool Broadcast(Command id, const ListenCallback& onReply, std::stop_token stop) {
    std::string errorText; // not passed on: no answer and a failed start look the same to the caller
    const ListenCallback asText = [&onReply](const std::string& reply, const ReplySource& from) {
        if (onReply)
            onReply(ReplyBytesToText(reply), from);
    };
    CommandChannel::Instance().SendAndListen(CommandText(id), asText, errorText, std::move(stop));
    return true;
}

} // namespace

bool DeviceCommands::Connect(DeviceReply& reply, std::stop_token stop) {
    return Standard(Command::Connect, reply, std::move(stop));
}

bool DeviceCommands::QuerySystemInfo(DeviceReply& reply, std::stop_token stop) {
    std::string replyText;
    std::string errorText;
    if (CommandChannel::Instance().Transact(CommandText(Command::QuerySystemInfo), replyText, errorText, 1,
                                            std::move(stop)) < 0)
        return false;
    if (replyText.find(kSystemInfoMarker) == std::string::npos)
        return false;
    ReplyFields fields;
    fields.ParseReplyFields(ReplyBytesToText(replyText), " ");
    for (const auto& name : Info(Command::QuerySystemInfo).replyFields) {
        std::string value;
        if (!fields.Field(name, value))
            return false;
        reply.Put(name, value);
    }
    return true;
}

std::string DeviceCommands::QueryDeviceType(std::stop_token stop) {
    DeviceReply reply;
    QuerySystemInfo(reply, std::move(stop));
    return reply.Get("DEVTYPE");
}

std::string DeviceCommands::QueryProductClass(std::stop_token stop) {
    DeviceReply reply;
    QuerySystemInfo(reply, std::move(stop));
    return reply.Get("PRODUCTCLASS");
}

bool DeviceCommands::DiagLanPort(DeviceReply& reply, int lanPort, std::stop_token stop) {
    return Standard(Command::DiagLanPort, CommandText(Command::DiagLanPort, lanPort), reply, std::move(stop));
}
bool DeviceCommands::DiagPotsStart(DeviceReply& reply, std::stop_token stop) {
    return Standard(Command::DiagPotsStart, reply, std::move(stop));
}
bool DeviceCommands::DiagPotsRingOn(DeviceReply& reply, int potsPort, std::stop_token stop) {
    return Standard(Command::DiagPotsRingOn, CommandText(Command::DiagPotsRingOn, potsPort), reply, std::move(stop));
}
bool DeviceCommands::DiagPotsPlayDtmf(DeviceReply& reply, int potsPort, std::stop_token stop) {
    return Standard(Command::DiagPotsPlayDtmf, CommandText(Command::DiagPotsPlayDtmf, potsPort), reply,
                    std::move(stop));
}
bool DeviceCommands::DiagPotsCngTone(DeviceReply& reply, int potsPort, std::stop_token stop) {
    return Standard(Command::DiagPotsCngTone, CommandText(Command::DiagPotsCngTone, potsPort), reply, std::move(stop));
}
bool DeviceCommands::DiagPotsCallLoop(DeviceReply& reply, std::stop_token stop) {
    return Standard(Command::DiagPotsCallLoop, reply, std::move(stop));
}
bool DeviceCommands::DiagPotsStop(DeviceReply& reply, std::stop_token stop) {
    return Standard(Command::DiagPotsStop, reply, std::move(stop));
}
bool DeviceCommands::DiagUplink(DeviceReply& reply, const std::string& method, std::stop_token stop) {
    return Standard(Command::DiagUplink, CommandText(Command::DiagUplink, method), reply, std::move(stop));
}
bool DeviceCommands::DiagFlash(DeviceReply& reply, std::stop_token stop) {
    return Standard(Command::DiagFlash, reply, std::move(stop));
}
bool DeviceCommands::DiagLed(DeviceReply& reply, const std::string& method, std::stop_token stop) {
    return Standard(Command::DiagLed, CommandText(Command::DiagLed, method), reply, std::move(stop));
}
bool DeviceCommands::DiagUsb(DeviceReply& reply, std::stop_token stop) {
    return Standard(Command::DiagUsb, reply, std::move(stop));
}
bool DeviceCommands::DiagWifi(DeviceReply& reply, std::stop_token stop) {
    return Standard(Command::DiagWifi, reply, std::move(stop));
}

bool DeviceCommands::DiagSoftwareVersion(DeviceReply& reply, std::stop_token stop) {
    return Standard(Command::DiagSoftwareVersion, reply, std::move(stop));
}
bool DeviceCommands::DiagKeyProcess(DeviceReply& reply, std::stop_token stop) {
    return Standard(Command::DiagKeyProcess, reply, std::move(stop));
}
bool DeviceCommands::DiagSystemResource(DeviceReply& reply, std::stop_token stop) {
    return Standard(Command::DiagSystemResource, reply, std::move(stop));
}
bool DeviceCommands::DiagSoftwareArea(DeviceReply& reply, std::stop_token stop) {
    return Standard(Command::DiagSoftwareArea, reply, std::move(stop));
}
bool DeviceCommands::DiagConfigIntegrity(DeviceReply& reply, std::stop_token stop) {
    return Standard(Command::DiagConfigIntegrity, reply, std::move(stop));
}
bool DeviceCommands::DiagDiskIntegrity(DeviceReply& reply, std::stop_token stop) {
    return Standard(Command::DiagDiskIntegrity, reply, std::move(stop));
}

bool DeviceCommands::RestorePreconfig(const ListenCallback& onReply, std::stop_token stop) {
    return Broadcast(Command::RestorePreconfig, onReply, std::move(stop));
}
bool DeviceCommands::QueryUpgradeStatus(const ListenCallback& onReply, std::stop_token stop) {
    return Broadcast(Command::QueryUpgradeStatus, onReply, std::move(stop));
}
bool DeviceCommands::CancelUpgrade(std::stop_token stop) {
    std::string replyText;
    std::string errorText;
    CommandChannel::Instance().Transact(CommandText(Command::CancelUpgrade), replyText, errorText, 0, std::move(stop));
    return false;
}

} // namespace orva
