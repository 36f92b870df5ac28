// Wireshark's dissector for Quillbus messages, as quillbus-service writes them (monitor
// --pcap, or its extcap interface "quillbus"), built as a plugin for the Wireshark it is
// compiled against. Each packet is an exported PDU naming "quillbus": the record's kind (1
// from the module, 2 a bus message, 0 read back from a monitor log), the record's bytes 1
// and 2 (the driver's), the module's connection word (32 bits), then the message as it
// crossed the bus (no check byte). The message is read by the monitor's own decoder.
#include "base/MessageDecoder.h"

#include <epan/address_types.h>
#include <epan/conversation_table.h>
#include <epan/expert.h>
#include <epan/packet.h>
#include <epan/proto.h>
#include <epan/stats_tree.h>
#include <epan/tap.h>

#include <cstdio>
#include <string>
#include <utility>

namespace {

int proto = -1;
int tap = -1;
int addressType = -1;
int ettQuillbus = -1;

int hfKind = -1, hfDriverBytes = -1, hfModuleWord = -1, hfLength = -1, hfAddress = -1, hfSource = -1, hfFlags = -1,
    hfSocket = -1, hfMarker = -1, hfCommand = -1, hfName = -1, hfData = -1, hfMarked = -1, hfDevice = -1, hfSender = -1,
    hfAddressee = -1;

expert_field eiCutShort = EI_INIT;
expert_field eiInvalid = EI_INIT;
expert_field eiParameterMissing = EI_INIT;

constexpr int HeaderSize = 7;

const value_string Kinds[] = {{0, "Read from a monitor log"}, {1, "From the module"}, {2, "Bus message"}, {0, nullptr}};

// An address is one byte, shown in the monitor's hex.
int addressToString(const address *addr, gchar *buf, int bufLen)
{
    return std::snprintf(buf, static_cast<std::size_t>(bufLen), "%02X", *static_cast<const guint8 *>(addr->data)) + 1;
}

int addressStringLength(const address *)
{
    return 3;
}

int addressLength()
{
    return 1;
}

// The filters Wireshark writes from a column or a conversation compare the address as it
// is shown ("FA"), so they name the byte fields that read it so.
const char *addressFilter(const address *, gboolean source)
{
    return source ? "quillbus.sender" : "quillbus.addressee";
}

const char *conversationFilter(conv_item_t *item, conv_filter_type_e filter)
{
    if (item->src_address.type != addressType)
        return CONV_FILTER_INVALID;
    switch (filter) {
    case CONV_FT_SRC_ADDRESS: return "quillbus.sender";
    case CONV_FT_DST_ADDRESS: return "quillbus.addressee";
    case CONV_FT_ANY_ADDRESS: return "quillbus.device";
    default: return CONV_FILTER_INVALID;
    }
}

const char *endpointFilter(endpoint_item_t *item, conv_filter_type_e filter)
{
    if (item->myaddress.type != addressType || filter != CONV_FT_ANY_ADDRESS)
        return CONV_FILTER_INVALID;
    return "quillbus.device";
}

ct_dissector_info_t conversationInfo = {&conversationFilter};
et_dissector_info_t endpointInfo = {&endpointFilter};

// What a dissected message tells the statistics and the conversation tables.
struct Tapped {
    guint8 address;
    guint8 source;
    guint8 command;
    bool hasCommand;
    bool marked;
    bool invalid;
};

tap_packet_status conversationPacket(void *table, packet_info *pinfo, epan_dissect_t *, const void *, tap_flags_t)
{
    add_conversation_table_data(static_cast<conv_hash_t *>(table), &pinfo->src, &pinfo->dst, 0, 0, 1,
                                static_cast<int>(pinfo->fd->pkt_len), &pinfo->rel_ts, &pinfo->abs_ts, &conversationInfo,
                                CONVERSATION_NONE);
    return TAP_PACKET_REDRAW;
}

tap_packet_status endpointPacket(void *table, packet_info *pinfo, epan_dissect_t *, const void *, tap_flags_t)
{
    auto *hash = static_cast<conv_hash_t *>(table);
    const int bytes = static_cast<int>(pinfo->fd->pkt_len);
    add_endpoint_table_data(hash, &pinfo->src, 0, TRUE, 1, bytes, &endpointInfo, ENDPOINT_NONE);
    add_endpoint_table_data(hash, &pinfo->dst, 0, FALSE, 1, bytes, &endpointInfo, ENDPOINT_NONE);
    return TAP_PACKET_REDRAW;
}

// ---- statistics: messages per addressee, per sender and per command -------------------

const char PerAddressee[] = "Messages per addressee";
const char PerSender[] = "Messages per sender";
const char PerCommand[] = "Messages per command";
const char Marked[] = "Marked messages";
const char Invalid[] = "Invalid commands";
int perAddresseeNode, perSenderNode, perCommandNode, markedNode, invalidNode;

void statsInit(stats_tree *st)
{
    perAddresseeNode = stats_tree_create_node(st, PerAddressee, 0, STAT_DT_INT, TRUE);
    perSenderNode = stats_tree_create_node(st, PerSender, 0, STAT_DT_INT, TRUE);
    perCommandNode = stats_tree_create_node(st, PerCommand, 0, STAT_DT_INT, TRUE);
    markedNode = stats_tree_create_node(st, Marked, 0, STAT_DT_INT, FALSE);
    invalidNode = stats_tree_create_node(st, Invalid, 0, STAT_DT_INT, FALSE);
}

std::string hexByte(guint8 value)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

tap_packet_status statsPacket(stats_tree *st, packet_info *, epan_dissect_t *, const void *data, tap_flags_t)
{
    const auto *message = static_cast<const Tapped *>(data);
    tick_stat_node(st, PerAddressee, 0, TRUE);
    tick_stat_node(st, hexByte(message->address).c_str(), perAddresseeNode, FALSE);
    tick_stat_node(st, PerSender, 0, TRUE);
    tick_stat_node(st, hexByte(message->source).c_str(), perSenderNode, FALSE);
    if (message->hasCommand) {
        std::string command = hexByte(message->command);
        const std::string name = MessageDecoder::commandName(message->command);
        if (!name.empty())
            command += ' ' + name;
        tick_stat_node(st, PerCommand, 0, TRUE);
        tick_stat_node(st, command.c_str(), perCommandNode, FALSE);
    }
    if (message->marked)
        tick_stat_node(st, Marked, 0, FALSE);
    if (message->invalid)
        tick_stat_node(st, Invalid, 0, FALSE);
    return TAP_PACKET_REDRAW;
}

void registerStatistics()
{
    stats_tree_register_plugin("quillbus", "quillbus", "Quillbus", 0, statsPacket, statsInit, nullptr);
}

// ---- the dissector -----------------------------------------------------------------------

void addModuleWord(proto_tree *tree, tvbuff_t *tvb, guint8 kind)
{
    proto_item *word = proto_tree_add_item(tree, hfModuleWord, tvb, 3, 4, ENC_BIG_ENDIAN);
    // Connected in the low byte's modes 0x00, 0x80 and 0x81; any other word is an error code.
    const guint8 mode = tvb_get_guint8(tvb, 6);
    if (kind == 0)
        proto_item_append_text(word, " (not known: read from a log)");
    else if (mode == 0x00 || mode == 0x80 || mode == 0x81)
        proto_item_append_text(word, " (connected)");
    else
        proto_item_append_text(word, " (driver error)");
}

int dissect(tvbuff_t *tvb, packet_info *pinfo, proto_tree *tree, void *)
{
    col_set_str(pinfo->cinfo, COL_PROTOCOL, "QUILLBUS");
    col_clear(pinfo->cinfo, COL_INFO);
    proto_item *rootItem = proto_tree_add_item(tree, proto, tvb, 0, -1, ENC_NA);
    proto_tree *root = proto_item_add_subtree(rootItem, ettQuillbus);
    const gint length = tvb_captured_length(tvb);
    if (length < HeaderSize) {
        expert_add_info_format(pinfo, rootItem, &eiCutShort, "Record header cut short");
        col_set_str(pinfo->cinfo, COL_INFO, "Record header cut short");
        return length;
    }
    const guint8 kind = tvb_get_guint8(tvb, 0);
    proto_tree_add_item(root, hfKind, tvb, 0, 1, ENC_NA);
    proto_tree_add_item(root, hfDriverBytes, tvb, 1, 2, ENC_BIG_ENDIAN);
    addModuleWord(root, tvb, kind);

    const auto size = static_cast<std::size_t>(length - HeaderSize);
    const guint8 *bytes = tvb_get_ptr(tvb, HeaderSize, static_cast<gint>(size));
    const MessageDecoder::Bytes message(bytes, size);
    proto_tree_add_uint(root, hfLength, tvb, HeaderSize, static_cast<gint>(size), static_cast<guint32>(size));
    const int headerFields[] = {hfAddress, hfSource, hfFlags, hfSocket, hfMarker};
    for (std::size_t i = 0; i < size && i < MessageDecoder::CommandAt; ++i)
        proto_tree_add_item(root, headerFields[i], tvb, HeaderSize + static_cast<gint>(i), 1, ENC_NA);
    // Sender and addressee, for the columns and the conversations.
    if (size > MessageDecoder::SourceAt) {
        set_address_tvb(&pinfo->dst, addressType, 1, tvb, HeaderSize + static_cast<gint>(MessageDecoder::AddressAt));
        set_address_tvb(&pinfo->src, addressType, 1, tvb, HeaderSize + static_cast<gint>(MessageDecoder::SourceAt));
        const gint addressee = HeaderSize + static_cast<gint>(MessageDecoder::AddressAt);
        const gint sender = HeaderSize + static_cast<gint>(MessageDecoder::SourceAt);
        for (const auto &[field, at] : {std::pair{hfAddressee, addressee}, std::pair{hfSender, sender},
                                        std::pair{hfDevice, addressee}, std::pair{hfDevice, sender}})
            proto_item_set_hidden(proto_tree_add_item(root, field, tvb, at, 1, ENC_NA));
    }

    const MessageDecoder::Reading reading = MessageDecoder::read(message);
    // Present only where the monitor marks the row, so that the field's name alone selects them.
    if (reading.marked)
        proto_item_set_generated(proto_tree_add_boolean(root, hfMarked, tvb, HeaderSize, 0, TRUE));
    if (size <= MessageDecoder::CommandAt) {
        expert_add_info_format(pinfo, rootItem, &eiCutShort, "Message cut short before its command");
        col_add_fstr(pinfo->cinfo, COL_INFO, "To %s: message cut short", size > 0 ? hexByte(message[0]).c_str() : "--");
    } else {
        const guint8 command = message[MessageDecoder::CommandAt];
        const gint commandAt = HeaderSize + static_cast<gint>(MessageDecoder::CommandAt);
        proto_tree_add_item(root, hfCommand, tvb, commandAt, 1, ENC_NA);
        proto_tree_add_item(root, hfData, tvb, commandAt, -1, ENC_NA);
        proto_item *name = proto_tree_add_string(root, hfName, tvb, commandAt, -1, reading.text.c_str());
        if (reading.invalid)
            expert_add_info_format(pinfo, name, &eiInvalid, "Invalid command: parameters missing or unreadable");
        if (reading.parameterMissing)
            expert_add_info(pinfo, name, &eiParameterMissing);
        // A command without words is named by its code.
        const std::string route = "To " + hexByte(message[0]) + " from " + hexByte(message[1]) + ": ";
        const std::string code = "ommand " + hexByte(command);
        proto_item_append_text(rootItem, ", %s%s", route.c_str(),
                               reading.text.empty() ? ("c" + code).c_str() : reading.text.c_str());
        col_add_str(pinfo->cinfo, COL_INFO, (route + (reading.text.empty() ? "C" + code : reading.text)).c_str());
    }
    if (size > MessageDecoder::SourceAt) {
        Tapped *tapped = wmem_new0(pinfo->pool, Tapped);
        tapped->address = message[MessageDecoder::AddressAt];
        tapped->source = message[MessageDecoder::SourceAt];
        tapped->hasCommand = size > MessageDecoder::CommandAt;
        tapped->command = tapped->hasCommand ? message[MessageDecoder::CommandAt] : 0;
        tapped->marked = reading.marked;
        tapped->invalid = reading.invalid;
        tap_queue_packet(tap, pinfo, tapped);
    }
    return length;
}

hf_register_info Fields[] = {
    {&hfKind, {"Record kind", "quillbus.kind", FT_UINT8, BASE_DEC, VALS(Kinds), 0, nullptr, HFILL}},
    {&hfDriverBytes, {"Driver bytes", "quillbus.driver_bytes", FT_UINT16, BASE_HEX, nullptr, 0, nullptr, HFILL}},
    {&hfModuleWord, {"Module word", "quillbus.module_word", FT_UINT32, BASE_HEX, nullptr, 0, nullptr, HFILL}},
    {&hfLength, {"Message length", "quillbus.length", FT_UINT32, BASE_DEC, nullptr, 0, nullptr, HFILL}},
    {&hfAddress, {"Address", "quillbus.address", FT_UINT8, BASE_HEX, nullptr, 0, nullptr, HFILL}},
    {&hfSource, {"Source", "quillbus.source", FT_UINT8, BASE_HEX, nullptr, 0, nullptr, HFILL}},
    {&hfFlags, {"Flags", "quillbus.flags", FT_UINT8, BASE_HEX, nullptr, 0, nullptr, HFILL}},
    {&hfSocket, {"Socket", "quillbus.socket", FT_UINT8, BASE_DEC, nullptr, 0, nullptr, HFILL}},
    {&hfMarker, {"Marker", "quillbus.marker", FT_UINT8, BASE_HEX, nullptr, 0, nullptr, HFILL}},
    {&hfCommand, {"Command", "quillbus.command", FT_UINT8, BASE_HEX, nullptr, 0, nullptr, HFILL}},
    {&hfName, {"Description", "quillbus.name", FT_STRING, BASE_NONE, nullptr, 0, nullptr, HFILL}},
    {&hfData, {"Data (command and parameters)", "quillbus.data", FT_BYTES, BASE_NONE, nullptr, 0, nullptr, HFILL}},
    {&hfAddressee, {"Addressee", "quillbus.addressee", FT_BYTES, BASE_NONE, nullptr, 0, nullptr, HFILL}},
    {&hfSender, {"Sender", "quillbus.sender", FT_BYTES, BASE_NONE, nullptr, 0, nullptr, HFILL}},
    {&hfDevice, {"Device (addressee or sender)", "quillbus.device", FT_BYTES, BASE_NONE, nullptr, 0, nullptr, HFILL}},
    {&hfMarked,
     {"Marked", "quillbus.marked", FT_BOOLEAN, BASE_NONE, nullptr, 0,
      "The monitor marks the row: to every device (00), to the module (F0), or an invalid command", HFILL}},
};

ei_register_info Experts[] = {
    {&eiCutShort, {"quillbus.cut_short", PI_MALFORMED, PI_ERROR, "Message cut short", EXPFILL}},
    {&eiInvalid, {"quillbus.invalid", PI_MALFORMED, PI_WARN, "Invalid command", EXPFILL}},
    {&eiParameterMissing,
     {"quillbus.parameter_missing", PI_MALFORMED, PI_WARN,
      "A parameter the description relies on is missing: it reads as 7F, as in the monitor", EXPFILL}},
};

void registerProtocol()
{
    proto = proto_register_protocol("Quillbus Message", "Quillbus", "quillbus");
    static gint *subtrees[] = {&ettQuillbus};
    proto_register_field_array(proto, Fields, array_length(Fields));
    proto_register_subtree_array(subtrees, array_length(subtrees));
    expert_register_field_array(expert_register_protocol(proto), Experts, array_length(Experts));
    register_dissector("quillbus", dissect, proto);
    tap = register_tap("quillbus");
    addressType =
        address_type_dissector_register("AT_QUILLBUS", "Quillbus bus address", addressToString, addressStringLength,
                                        nullptr, addressFilter, addressLength, nullptr, nullptr);
    register_conversation_table(proto, TRUE, conversationPacket, endpointPacket);
}

} // namespace

extern "C" {

// What Wireshark reads of a plugin before it loads it (extern: a const has no linkage otherwise).
WS_DLL_PUBLIC_DEF extern const gchar plugin_version[];
WS_DLL_PUBLIC_DEF extern const int plugin_want_major;
WS_DLL_PUBLIC_DEF extern const int plugin_want_minor;
const gchar plugin_version[] = QUILLBUS_PLUGIN_VERSION;
const int plugin_want_major = QUILLBUS_WIRESHARK_MAJOR;
const int plugin_want_minor = QUILLBUS_WIRESHARK_MINOR;

WS_DLL_PUBLIC_DEF void plugin_register(void)
{
    static proto_plugin dissector = {registerProtocol, nullptr};
    proto_register_plugin(&dissector);
    static tap_plugin statistics = {registerStatistics};
    tap_register_plugin(&statistics);
}

} // extern "C"
