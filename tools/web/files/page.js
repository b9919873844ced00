// The emulated board's page: shows the board as the emulator sends it (server-sent events) and,
// when a person plays the human here, sends the person's moves. Only the legal moves that the
// emulator lists are offered; the emulator judges every move again.
import {Chessboard, COLOR, FEN, INPUT_EVENT_TYPE} from "./vendor/cm-chessboard/src/Chessboard.js"
import {Markers, MARKER_TYPE} from "./vendor/cm-chessboard/src/extensions/markers/Markers.js"
import {PromotionDialog, PROMOTION_DIALOG_RESULT_TYPE} from "./vendor/cm-chessboard/src/extensions/promotion-dialog/PromotionDialog.js"

const board = new Chessboard(document.getElementById("board"), {
    position: FEN.start,
    assetsUrl: "./vendor/cm-chessboard/assets/",
    style: {animationDuration: 150},
    extensions: [{class: Markers}, {class: PromotionDialog}]
})
const status = document.getElementById("status")
const message = document.getElementById("message")
const takeback = document.getElementById("takeback")
let state = null

const sideToMove = fen => fen.split(" ")[1] === "b" ? COLOR.black : COLOR.white

function say(text) {
    message.textContent = text
}

async function send(path, body) {
    const response = await fetch(path, {method: "POST", body: body})
    say(response.ok ? "" : await response.text())
    if (!response.ok && state) board.setPosition(state.fen)
}

function legalFrom(from, to) {
    return state.legal.filter(move => move.startsWith(from + to))
}

function onMoveInput(event) {
    if (event.type === INPUT_EVENT_TYPE.moveInputStarted) {
        return state.legal.some(move => move.startsWith(event.squareFrom))
    }
    if (event.type !== INPUT_EVENT_TYPE.validateMoveInput) return true
    const moves = legalFrom(event.squareFrom, event.squareTo)
    if (moves.length === 0) {
        say("Not a legal move: " + event.squareFrom + "-" + event.squareTo)
        return false
    }
    if (moves[0].length === 4) {
        send("move", moves[0])
        return true
    }
    board.showPromotionDialog(event.squareTo, sideToMove(state.fen), result => {
        if (result.type === PROMOTION_DIALOG_RESULT_TYPE.pieceSelected) {
            send("move", event.squareFrom + event.squareTo + result.piece.charAt(1))
        } else {
            board.setPosition(state.fen)
        }
    })
    return true
}

function statusText() {
    if (state.closed) return "The program closed the board: the game is over"
    const side = sideToMove(state.fen) === COLOR.white ? "White" : "Black"
    if (state.waiting) return side + " to move: your move"
    if (state.interactive) return side + " to move: waiting for the board"
    return side + " to move"
}

function show(next) {
    state = next
    board.disableMoveInput()
    board.setPosition(state.fen, true)
    board.removeMarkers(MARKER_TYPE.square)
    if (state.lastMove) {
        board.addMarker(MARKER_TYPE.square, state.lastMove.substring(0, 2))
        board.addMarker(MARKER_TYPE.square, state.lastMove.substring(2, 4))
    }
    if (state.waiting) {
        const side = sideToMove(state.fen)
        if (board.getOrientation() !== side) board.setOrientation(side)
        board.enableMoveInput(onMoveInput, side)
    }
    status.textContent = statusText()
    status.className = state.waiting ? "waiting" : ""
    takeback.hidden = !state.interactive
    takeback.disabled = !state.takebackAllowed
    document.getElementById("variation").textContent = state.variation || "—"
    const log = document.getElementById("log")
    log.textContent = state.log.join("\n")
    log.scrollTop = log.scrollHeight
    // The state on the page itself, for tools that read the page rather than look at it.
    document.body.dataset.fen = state.fen
    document.body.dataset.waiting = state.waiting
    document.body.dataset.legal = state.legal.join(" ")
}

takeback.addEventListener("click", () => send("takeback", ""))

const events = new EventSource("events")
events.onmessage = event => show(JSON.parse(event.data))
// The emulator ends soon after the program has closed the board: the page keeps the board as it
// was left. A stream that the emulator refuses is not tried again.
events.onerror = () => {
    if (events.readyState === EventSource.CLOSED) {
        status.textContent = "Too many pages show the board: close one, then reload this page"
    } else if (!state || !state.closed) {
        status.textContent = "The board is not answering; trying again…"
    }
}
